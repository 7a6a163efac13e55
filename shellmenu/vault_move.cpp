#include "shellmenu/vault_move.h"

#include <algorithm>
#include <new>

#include "common/text.h"
#include "shellmenu/agent_launch.h"
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

// The move's record with the sources and the title it points into, ready for any thread; its
// destinations come later (NameDestinations).
std::unique_ptr<FileOperationJob> MoveJob(std::vector<char16_t> sources, std::u16string title) {
  auto job = std::make_unique<FileOperationJob>();
  job->from = std::move(sources);
  job->title = std::move(title);
  FileOperation& operation = job->operation;
  operation.hwnd = 0;
  operation.wFunc = kFoMove;
  operation.pFrom = job->from.data();
  operation.pTo = nullptr;
  operation.fFlags = kVaultMoveFlags;
  operation.fAnyOperationsAborted = false;
  operation.hNameMappings = nullptr;
  operation.lpszProgressTitle = job->title.c_str();
  return job;
}

// The naming on the move's own thread: when no name is free there, the selection goes to the agent,
// as the dispatch hands it over when the move cannot be made at all.
void NameOnTheMovesThread(FileOperationJob& job, const HandlerState& state, std::vector<std::u16string> items,
                          const VaultRoot& root, const InvokeOptions& options) {
  job.prepare = [state, items = std::move(items), root, noUi = options.noUi](FileOperationJob& own,
                                                                             HandlerPlatform& platform) {
    try {
      if (NameDestinations(own, items, root, platform.mover, platform.environment)) return true;
    } catch (const std::bad_alloc&) {
    }
    LaunchAgentWithList(state, platform.starter, platform.tempFiles, noUi);
    return false;
  };
}

HResult MoveInto(const HandlerState& state, HandlerPlatform& platform, const InvokeOptions& options) {
  VaultRoot root;
  const HResult found = FindVaultRootFor(state.m_selection, TrustedAgent(platform), platform.mover, root);
  if (found != kOk) return found;

  // One item chosen in several spellings is moved once.
  std::vector<std::u16string> items = WithoutRepeatedItems(state.m_selection, platform.environment);
  std::unique_ptr<FileOperationJob> job = VaultMoveJob(items, platform.texts);
  if (!job) return kFail;
  job->operation.hwnd = options.owner;
  if (options.noUi) job->operation.fFlags |= kFofNoUi;
  if (options.completeBeforeReturn) {  // the caller waits, and may end right after
    if (!NameDestinations(*job, items, root, platform.mover, platform.environment)) return kFail;
    platform.mover.RunFileOperation(job->operation);
    return kOk;
  }
  // A long move must not hold the shell's thread, nor end with a host that ends; neither must the
  // file system's answers that its names need. A partial failure or a cancelled move is shown by the
  // platform itself and not reported here.
  NameOnTheMovesThread(*job, state, std::move(items), root, options);
  if (platform.mover.StartFileOperation(job)) return kOk;
  return HandRootToMover(state, root, platform, options.noUi);
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

std::unique_ptr<FileOperationJob> VaultMoveJob(const std::vector<std::u16string>& paths, TextSource& texts) {
  std::optional<std::vector<char16_t>> sources = BuildSourceList(paths);
  if (!sources) return nullptr;
  return MoveJob(std::move(*sources), texts.LoadText(IDS_PROGRESS_TITLE));
}

bool NameDestinations(FileOperationJob& job, const std::vector<std::u16string>& paths, const VaultRoot& root,
                      FileMover& mover, const Environment& environment) {
  const std::optional<std::vector<std::u16string>> destinations = DestinationPaths(paths, root, mover, environment);
  if (!destinations) return false;
  job.to = DoubleZeroList(*destinations);
  job.operation.pTo = job.to.data();
  return true;
}

HResult MoveIntoVault(const HandlerState& state, HandlerPlatform& platform, const InvokeOptions& options) {
  try {
    return MoveInto(state, platform, options);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
}

}  // namespace torvo
