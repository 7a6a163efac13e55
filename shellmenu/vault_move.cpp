#include "shellmenu/vault_move.h"

#include <algorithm>
#include <new>

#include "common/text.h"

namespace torvo {

namespace {

inline constexpr std::size_t kSourceEntryUnits = kMaxPath + 1;
inline constexpr std::uint16_t kVaultMoveFlags = kFofSimpleProgress | kFofNoConfirmMkdir;

// The move's record with the lists and the title it points into, ready for any thread.
std::unique_ptr<FileOperationJob> MoveJob(std::vector<char16_t> sources, const VaultRoot& root, std::u16string title) {
  auto job = std::make_unique<FileOperationJob>();
  job->from = std::move(sources);
  job->to.assign(root.begin(), root.end());  // the root's trailing zeros end the destination list
  job->title = std::move(title);
  FileOperation& operation = job->operation;
  operation.hwnd = 0;
  operation.wFunc = kFoMove;
  operation.pFrom = job->from.data();
  operation.pTo = job->to.data();
  operation.fFlags = kVaultMoveFlags;
  operation.fAnyOperationsAborted = false;
  operation.hNameMappings = nullptr;
  operation.lpszProgressTitle = job->title.c_str();
  return job;
}

HResult MoveInto(const HandlerState& state, AgentChannel& channel, FileMover& mover, TextSource& texts) {
  VaultRoot root;
  const HResult found = FindVaultRootFor(state.m_selection, channel, mover, root);
  if (found != kOk) return found;

  std::unique_ptr<FileOperationJob> job = VaultMoveJob(state.m_selection, root, texts);
  // A long move must not hold the shell's thread; only when no thread can be started does it run
  // here, as before, rather than be lost. A partial failure or a cancelled move is shown by the
  // platform itself and not reported here.
  if (!mover.StartFileOperation(job)) mover.RunFileOperation(job->operation);
  return kOk;
}

}  // namespace

bool IsMovablePath(std::u16string_view path) {
  return !path.empty() && path.size() < kMaxPath && path.find(u'\0') == std::u16string_view::npos;
}

HResult FindVaultRootFor(const std::vector<std::u16string>& paths, AgentChannel& channel, FileMover& mover,
                         VaultRoot& root) {
  root = BuildVaultRoot(QueryVaultDriveLetter(channel));
  if (!std::all_of(paths.begin(), paths.end(), IsMovablePath)) return kInvalidArg;
  return mover.PathExists(root.data()) ? kOk : kFail;
}

std::optional<std::vector<char16_t>> BuildSourceList(const std::vector<std::u16string>& paths) {
  if (!std::all_of(paths.begin(), paths.end(), IsMovablePath)) return std::nullopt;
  std::vector<char16_t> list(paths.size() * kSourceEntryUnits + 2, u'\0');
  auto place = list.begin();
  for (const std::u16string& path : paths) place = std::copy(path.begin(), path.end(), place) + 1;
  return list;
}

std::unique_ptr<FileOperationJob> VaultMoveJob(const std::vector<std::u16string>& paths, const VaultRoot& root,
                                               TextSource& texts) {
  std::optional<std::vector<char16_t>> sources = BuildSourceList(paths);
  if (!sources) return nullptr;
  return MoveJob(std::move(*sources), root, texts.LoadText(IDS_PROGRESS_TITLE));
}

HResult MoveIntoVault(const HandlerState& state, AgentChannel& channel, FileMover& mover, TextSource& texts) {
  try {
    return MoveInto(state, channel, mover, texts);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
}

}  // namespace torvo
