#pragma once
// torvo-move.exe's work: the direct move of a move list file's items into the vault root, in a
// process of its own that outlives the host of the command that started it. Portable: the platform
// comes in through the interfaces of shellmenu/.
#include <string>
#include <vector>

#include "shellmenu/environment.h"
#include "shellmenu/file_mover.h"
#include "shellmenu/program_starter.h"
#include "shellmenu/temp_files.h"
#include "shellmenu/text_source.h"

namespace torvo::mover {

// The exit codes: below 10 the list was acted on, from 10 on nothing was moved.
enum class MoverExit : int {
  kMoved = 0,                // every listed item moved (the list file removed)
  kMovedExceptMissing = 1,   // the items that still exist moved, the others were gone (removed)
  kHandedToAgent = 2,        // the vault root is gone: the agent was started with the list file
  kMoveIncomplete = 3,       // the move ran, but the platform reported a failure or the user
                             // cancelled it; what it moved is in the vault (removed)
  kMovedInsidePackage = 4,   // every listed item moved, but the mover ran inside the caller's package,
                             // where it would end with the package (removed)
  kBadArguments = 10,        // not exactly a vault root ("X:\") and a list file, after an optional /noui
  kListUnreadable = 11,      // the list file is missing, cannot be read or is too large
  kListMalformed = 12,       // the bytes are not a move list, or a record is no path to move
  kListEmpty = 13,           // the list names no item
  kNoListedItemExists = 14,  // every listed item is gone; nothing to move (removed)
  kAgentNotStarted = 15,     // the vault root is gone and the agent cannot be started
  kOutOfMemory = 16,
  kNoFreeName = 17,   // an item's name and all its numbered names are taken in the vault root
  kItemsStayed = 18,  // the move reported success, yet listed items are still where they
                      // were (Wine's move of a folder across file systems): the list stays
};

// What the mover reaches of the platform: the list file, the file operation, the start of the
// agent beside it, its own string table for the progress title, and names compared as the file
// system compares them.
struct MoverPlatform {
  TempFiles& files;
  FileMover& mover;
  ProgramStarter& starter;
  TextSource& texts;
  const Environment& environment;
};

// The largest list file read: over 400,000 records of the longest paths.
inline constexpr std::uint32_t kMaxListBytes = 256u << 20;

// torvo-move.exe [/noui] VAULTROOT LISTFILE (the arguments after the program's name): /noui when the
// caller asked for no UI, so that the move shows no window and renames a name taken by then instead
// of asking whether to replace it, and no agent that is not there is started. Reads the list with
// the rules it was written with and moves its items into the root with the file operation, flags
// and progress title of the classic direct move, each under a name the vault root does not hold
// yet, on the calling thread; removes the list file when it is done with it. A move is done when
// its items are gone from their places, whatever the file operation reports. When the root does not exist, the list
// file goes to the agent as the DLL hands a list over, and stays for the agent. Bad input moves nothing.
MoverExit RunListMove(const std::vector<std::u16string>& arguments, MoverPlatform& platform);

}  // namespace torvo::mover
