#include "shellmenu/vault_move.h"

#include <algorithm>
#include <new>

#include "common/text.h"
#include "shellmenu/agent_protocol.h"

namespace torvo {

namespace {

inline constexpr std::size_t kSourceEntryUnits = kMaxPath + 1;
inline constexpr std::uint16_t kVaultMoveFlags = kFofSimpleProgress | kFofNoConfirmMkdir;

bool FitsSourceList(const std::u16string& path) {
  return !path.empty() && path.size() < kMaxPath && path.find(u'\0') == std::u16string::npos;
}

HResult MoveInto(const HandlerState& state, AgentChannel& channel, FileMover& mover, TextSource& texts) {
  // The dispatch's window is not reused: the agent is looked up and asked once more.
  const VaultRoot root = BuildVaultRoot(QueryVaultDriveLetter(channel));
  const std::optional<std::vector<char16_t>> sources = BuildSourceList(state.m_selection);
  if (!sources) return kInvalidArg;
  if (!mover.PathExists(root.data())) return kFail;

  FileOperation operation;
  operation.hwnd = 0;
  operation.wFunc = kFoMove;
  operation.pFrom = sources->data();
  operation.pTo = root.data();  // the root's trailing zeros end the destination list
  operation.fFlags = kVaultMoveFlags;
  operation.fAnyOperationsAborted = false;
  operation.hNameMappings = nullptr;
  const std::u16string title = texts.LoadText(IDS_PROGRESS_TITLE);
  operation.lpszProgressTitle = title.c_str();
  // A partial failure or a cancelled move is shown by the platform itself and not reported here.
  mover.RunFileOperation(operation);
  return kOk;
}

}  // namespace

std::optional<std::vector<char16_t>> BuildSourceList(const std::vector<std::u16string>& paths) {
  if (!std::all_of(paths.begin(), paths.end(), FitsSourceList)) return std::nullopt;
  std::vector<char16_t> list(paths.size() * kSourceEntryUnits + 2, u'\0');
  auto place = list.begin();
  for (const std::u16string& path : paths) place = std::copy(path.begin(), path.end(), place) + 1;
  return list;
}

HResult MoveIntoVault(const HandlerState& state, AgentChannel& channel, FileMover& mover,
                      TextSource& texts) {
  try {
    return MoveInto(state, channel, mover, texts);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
}

}  // namespace torvo
