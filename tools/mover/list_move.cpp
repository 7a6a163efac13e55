#include "tools/mover/list_move.h"

#include <algorithm>
#include <new>
#include <optional>
#include <string_view>

#include "shellmenu/agent_launch.h"
#include "shellmenu/agent_protocol.h"
#include "shellmenu/canonical_path.h"
#include "shellmenu/move_list_file.h"
#include "shellmenu/mover_launch.h"
#include "shellmenu/vault_move.h"

namespace torvo::mover {

namespace {

// The switch as the DLL passes it and as the guides show it.
static_assert(std::u16string_view(kMoverNoUiSwitch) == u"/noui");

// "X:\" as the DLL passes a root: a drive letter, a colon, a backslash.
std::optional<VaultRoot> ParseVaultRoot(const std::u16string& text) {
  if (text.size() != 3 || text[1] != u':' || text[2] != u'\\') return std::nullopt;
  const char16_t letter = text[0];
  if (!((letter >= u'A' && letter <= u'Z') || (letter >= u'a' && letter <= u'z'))) return std::nullopt;
  return BuildVaultRoot(letter);
}

// Reads the list into `items`, each a path the move can pass whole; nothing then, else why not.
std::optional<MoverExit> ReadList(const std::u16string& listPath, TempFiles& files,
                                  std::vector<std::u16string>& items) {
  const std::optional<std::vector<std::uint8_t>> bytes = files.ReadWholeFile(listPath.c_str(), kMaxListBytes);
  if (!bytes) return MoverExit::kListUnreadable;
  std::optional<std::vector<std::u16string>> records = ParseMoveList(*bytes);
  if (!records || !std::all_of(records->begin(), records->end(), IsMovablePath)) return MoverExit::kListMalformed;
  if (records->empty()) return MoverExit::kListEmpty;
  items = std::move(*records);
  return std::nullopt;
}

// Whether an item is still at its place after a move that reported success.
bool AnyStayed(const std::vector<std::u16string>& moved, FileMover& mover) {
  return std::any_of(moved.begin(), moved.end(),
                     [&](const std::u16string& item) { return mover.PathExists(item.c_str()); });
}

// The move of the items that still exist; the list file is removed once it has run.
MoverExit MoveExisting(const std::vector<std::u16string>& items, const VaultRoot& root, const std::u16string& listPath,
                       bool noUi, MoverPlatform& platform) {
  // One item listed in several spellings is moved once.
  const std::vector<std::u16string> distinct = WithoutRepeatedItems(items, platform.environment);
  std::vector<std::u16string> existing;
  for (const std::u16string& item : distinct) {
    if (platform.mover.PathExists(item.c_str())) existing.push_back(item);
  }
  if (existing.empty()) {
    platform.files.RemoveFile(listPath.c_str());
    return MoverExit::kNoListedItemExists;
  }
  const std::unique_ptr<FileOperationJob> job = VaultMoveJob(existing, platform.texts);
  if (!job || !NameDestinations(*job, existing, root, platform.mover, platform.environment)) {
    return MoverExit::kNoFreeName;
  }
  if (noUi) job->operation.fFlags |= kFofNoUi;
  const int result = platform.mover.RunFileOperation(job->operation);
  if (result == 0 && !job->operation.fAnyOperationsAborted && AnyStayed(existing, platform.mover)) {
    return MoverExit::kItemsStayed;
  }
  platform.files.RemoveFile(listPath.c_str());
  if (result != 0 || job->operation.fAnyOperationsAborted) return MoverExit::kMoveIncomplete;
  return existing.size() == distinct.size() ? MoverExit::kMoved : MoverExit::kMovedExceptMissing;
}

MoverExit Run(std::vector<std::u16string> arguments, MoverPlatform& platform) {
  const bool noUi = !arguments.empty() && arguments.front() == kMoverNoUiSwitch;
  if (noUi) arguments.erase(arguments.begin());
  if (arguments.size() != 2) return MoverExit::kBadArguments;
  const std::optional<VaultRoot> root = ParseVaultRoot(arguments[0]);
  if (!root) return MoverExit::kBadArguments;
  const std::u16string& listPath = arguments[1];

  std::vector<std::u16string> items;
  const std::optional<MoverExit> unusable = ReadList(listPath, platform.files, items);
  if (unusable) return *unusable;
  // The vault went away between the command and this start: as when the DLL finds no root, the
  // agent gets the list, and nothing is lost.
  if (!platform.mover.PathExists(root->data())) {
    return StartAgentWithListFile(listPath, platform.starter, noUi) ? MoverExit::kHandedToAgent
                                                                    : MoverExit::kAgentNotStarted;
  }
  return MoveExisting(items, *root, listPath, noUi, platform);
}

}  // namespace

MoverExit RunListMove(const std::vector<std::u16string>& arguments, MoverPlatform& platform) {
  try {
    return Run(arguments, platform);
  } catch (const std::bad_alloc&) {
    return MoverExit::kOutOfMemory;
  }
}

}  // namespace torvo::mover
