#include "shellmenu/vault_move.h"

#include <algorithm>
#include <new>

#include "common/text.h"
#include "shellmenu/canonical_path.h"
#include "shellmenu/destination_names.h"
#include "shellmenu/mover_launch.h"
#include "shellmenu/trusted_agent.h"

namespace torvo {

namespace {

inline constexpr std::size_t kSourceEntryUnits = kMaxPath + 1;
inline constexpr std::uint16_t kVaultMoveFlags = kFofMultiDestFiles | kFofSimpleProgress | kFofNoConfirmMkdir;

// Paths one after another, each with its zero, ended by two zeros.
std::vector<char16_t> DoubleZeroList(const std::vector<std::u16string>& paths) {
  std::vector<char16_t> list;
  for (const std::u16string& path : paths) list.insert(list.end(), path.c_str(), path.c_str() + path.size() + 1);
  list.resize(list.size() + (paths.empty() ? 2 : 1), u'\0');
  return list;
}

// The move's record with the lists and the title it points into, ready for any thread.
std::unique_ptr<FileOperationJob> MoveJob(std::vector<char16_t> sources, std::vector<char16_t> destinations,
                                          std::u16string title) {
  auto job = std::make_unique<FileOperationJob>();
  job->from = std::move(sources);
  job->to = std::move(destinations);
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

HResult MoveInto(const HandlerState& state, HandlerPlatform& platform, const InvokeOptions& options) {
  VaultRoot root;
  const HResult found = FindVaultRootFor(state.m_selection, TrustedAgent(platform), platform.mover, root);
  if (found != kOk) return found;

  std::unique_ptr<FileOperationJob> job =
      VaultMoveJob(state.m_selection, root, platform.texts, platform.mover, platform.environment);
  if (!job) return kFail;
  job->operation.hwnd = options.owner;
  if (options.noUi) job->operation.fFlags |= kFofNoUi;
  if (options.completeBeforeReturn) {  // the caller waits, and may end right after
    platform.mover.RunFileOperation(job->operation);
    return kOk;
  }
  // A long move must not hold the shell's thread, nor end with a host that ends. A partial failure
  // or a cancelled move is shown by the platform itself and not reported here.
  if (platform.mover.StartFileOperation(job)) return kOk;
  return HandRootToMover(state, root, platform);
}

}  // namespace

HResult FindVaultRootFor(const std::vector<std::u16string>& paths, const AgentLink& agent, FileMover& mover,
                         VaultRoot& root) {
  root = BuildVaultRoot(QueryVaultDriveLetter(agent));
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
                                               TextSource& texts, FileMover& mover, const Environment& environment) {
  const std::vector<std::u16string> items = WithoutRepeatedItems(paths, environment);
  std::optional<std::vector<char16_t>> sources = BuildSourceList(items);
  if (!sources) return nullptr;
  const std::optional<std::vector<std::u16string>> destinations = DestinationPaths(items, root, mover, environment);
  if (!destinations) return nullptr;
  return MoveJob(std::move(*sources), DoubleZeroList(*destinations), texts.LoadText(IDS_PROGRESS_TITLE));
}

HResult MoveIntoVault(const HandlerState& state, HandlerPlatform& platform, const InvokeOptions& options) {
  try {
    return MoveInto(state, platform, options);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
}

}  // namespace torvo
