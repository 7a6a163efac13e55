#pragma once
// The real platform behind the handler's operations: every concern's adapter in one owner.
#include <windows.h>

#include "platform/win32/win32_agent_channel.h"
#include "platform/win32/win32_environment.h"
#include "platform/win32/win32_file_mover.h"
#include "platform/win32/win32_menu_target.h"
#include "platform/win32/win32_program_starter.h"
#include "platform/win32/win32_temp_files.h"
#include "platform/win32/win32_text_source.h"
#include "shellmenu/handler_platform.h"

namespace torvo::win32 {

struct Win32HandlerPlatform {
  // `textInstance` holds the string table; `ownModule` is the module whose folder the agent is
  // started from; `hold` is the COM server's lock count, held while a started move runs; `caches`
  // what a load reads once (none: everything is read at every question).
  Win32HandlerPlatform(HINSTANCE textInstance, HMODULE ownModule, ModuleHold hold = {}, LoadCaches* caches = nullptr)
      : environment(caches != nullptr ? &caches->knownFolders : nullptr),
        agent(caches != nullptr ? &caches->agentProgram : nullptr),
        starter(ownModule),
        mover(hold, textInstance, ownModule),
        texts(textInstance) {}
  Win32HandlerPlatform(const Win32HandlerPlatform&) = delete;
  Win32HandlerPlatform& operator=(const Win32HandlerPlatform&) = delete;

  Win32Environment environment;
  Win32AgentChannel agent;
  Win32TempFiles tempFiles;
  Win32ProgramStarter starter;
  Win32FileMover mover;
  Win32MenuTarget menu;
  Win32TextSource texts;
  HandlerPlatform platform{environment, agent, tempFiles, starter, mover, menu, texts};
};

}  // namespace torvo::win32
