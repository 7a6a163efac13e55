// The vault agent as the handler meets it, and for each path whether the handler would offer the
// item, decided by the handler's own code.
#include <windows.h>

#include <optional>
#include <string>

#include "common/text.h"
#include "platform/win32/wide.h"
#include "platform/win32/win32_agent_channel.h"
#include "platform/win32/win32_environment.h"
#include "platform/win32/win32_file_mover.h"
#include "shellmenu/agent_launch.h"
#include "shellmenu/agent_protocol.h"
#include "shellmenu/menu_decision.h"
#include "shellmenu/protected_paths.h"
#include "shellmenu/vault_move.h"
#include "tools/doctor/checks/check.h"
#include "tools/doctor/doctor_text.h"

namespace torvo::doctor {

namespace {

std::wstring RootText(const VaultRoot& root) { return Wide(root.data()); }

// Without a running agent, choosing the item starts the agent program from the DLL's folder.
void CheckAgentProgram(const DoctorContext& context, win32::Win32FileMover& files, Report& report) {
  const std::wstring program = BesideDll(context.dll, Wide(kAgentExecutableName));
  if (!files.PathExists(win32::AsUtf16(program.c_str()))) {
    report.Problem(L"agent",
                   L"not running (no window of the class ZebTorvoFloat), and " + program +
                       L", which choosing the item would start, does not exist",
                   L"install zebtorvofloat.exe beside TorvoShellMenu.dll");
    return;
  }
  report.Note(L"agent",
              L"not running (no window of the class ZebTorvoFloat): the item is offered on every drive, "
              L"and choosing it starts " +
                  program);
}

// A window of the agent's class that another program owns: the handler takes it for no agent.
bool ReportImpostor(win32::Win32AgentChannel& channel, const AgentLink& agent, Report& report) {
  const WindowHandle window = channel.FindTopLevelWindow(kAgentWindowClass, nullptr, kAgentLookupTimeoutMs);
  if (window == 0) return false;
  const std::optional<std::u16string> program = channel.WindowProgram(window);
  report.Problem(L"agent",
                 L"a window of the class ZebTorvoFloat belongs to " +
                     (program ? Wide(*program) : L"an unknown program") + L", not to " + Wide(agent.program) +
                     L": the handler does not trust it and treats the agent as not running",
                 L"end that program, and start zebtorvofloat.exe from TorvoShellMenu.dll's folder");
  return true;
}

// The vault root the handler would compare paths with: the agent asked for its letter (1005) only.
VaultRoot CheckAgent(const DoctorContext& context, const Environment& environment, Report& report) {
  win32::Win32AgentChannel channel;
  win32::Win32FileMover files;
  const AgentLink agent{channel, environment,
                        win32::AsUtf16(BesideDll(context.dll, Wide(kAgentExecutableName)).c_str())};
  if (FindAgentWindow(agent) == 0) {
    if (ReportImpostor(channel, agent, report)) return BuildVaultRoot(0);
    if (context.dllReadable)
      CheckAgentProgram(context, files, report);
    else
      report.Note(L"agent", L"not running (no window of the class ZebTorvoFloat)");
    return BuildVaultRoot(0);
  }
  if (!channel.Reachable(FindAgentWindow(agent))) {
    report.Problem(L"agent",
                   L"running at a higher integrity level than this program (started elevated): Windows keeps "
                   L"Explorer's questions from it, and choosing the item hands nothing over",
                   L"end zebtorvofloat.exe and start it again without elevation");
    return BuildVaultRoot(0);
  }
  const VaultRoot root = BuildVaultRoot(QueryVaultDriveLetter(agent));
  if (root[0] == u':') {
    report.Note(L"agent",
                L"running, but it names no vault drive (its answer to 1005 is 0 or came too late): "
                L"the item is offered on every drive");
  } else if (files.PathExists(root.data())) {
    report.Ok(L"agent", L"running, with the vault on " + RootText(root) + L", which exists");
  } else {
    report.Note(L"agent", L"running, with the vault on " + RootText(root) +
                              L", which does not exist: choosing the "
                              L"item hands the items to the agent instead of moving them");
  }
  return root;
}

// "row 8 of 59: the path contains "%SYSTEMROOT%", here C:\windows": the row as people count, its
// pattern, and the pattern as this process's environment expands it.
std::wstring DescribeRow(std::size_t index, const Environment& environment) {
  const ProtectedPathEntry& row = g_protectedPaths[index];
  const std::optional<std::u16string> expanded = ExpandRow(row, environment);
  const std::wstring here = expanded ? L", here " + Wide(*expanded) : L"";
  return L"row " + std::to_wstring(index + 1) + L" of " + std::to_wstring(kProtectedPathCount) + L": the path " +
         (row.nMatch == PATH_MATCH_CONTAINS ? L"contains \"" : L"is \"") + Wide(row.strPattern) + L"\"" + here;
}

void JudgeOnePath(const std::wstring& given, const VaultRoot& root, const Environment& environment,
                  ExpandedProtectedPaths& places, Report& report) {
  const std::wstring path = FullPath(given);
  const PathJudgement judgement = JudgePath(win32::AsUtf16(path.c_str()), root, places);
  const std::wstring matched = Wide(judgement.canonical) == path ? L"" : L", read as " + Wide(judgement.canonical);
  switch (judgement.verdict) {
    case PathVerdict::kAllowed:
      if (IsMovablePath(Utf16(path))) {
        report.Ok(L"path", path + L": offered");
      } else {
        report.Note(L"path", path +
                                 L": not offered: the move cannot take it as it stands (260 UTF-16 units or "
                                 L"longer, or a * or ?), and a selection with it gets no item at all");
      }
      return;
    case PathVerdict::kOnVaultDrive:
      report.Note(L"path", path + L": not offered: it lies on the vault drive " + RootText(root));
      return;
    case PathVerdict::kProtected:
      report.Note(L"path", path + L": not offered: a protected place (" + DescribeRow(judgement.row, environment) +
                               matched + L")");
      return;
  }
}

}  // namespace

void CheckAgentAndPaths(DoctorContext& context, const NamedPaths& paths, Report& report) {
  win32::Win32Environment environment;
  const VaultRoot root = CheckAgent(context, environment, report);
  if (paths.empty()) return;
  ExpandedProtectedPaths places(environment);
  for (const std::wstring& path : paths) JudgeOnePath(path, root, environment, places, report);
}

}  // namespace torvo::doctor
