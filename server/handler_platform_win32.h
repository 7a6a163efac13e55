#pragma once
// The real platform behind one call of the handler's shell-facing operations.
#include "platform/win32/win32_agent_channel.h"
#include "platform/win32/win32_environment.h"
#include "platform/win32/win32_file_mover.h"
#include "platform/win32/win32_menu_target.h"
#include "platform/win32/win32_program_starter.h"
#include "platform/win32/win32_temp_files.h"
#include "platform/win32/win32_text_source.h"
#include "server/module_handles.h"
#include "shellmenu/handler_platform.h"

namespace torvo::server {

class Win32HandlerPlatform {
 public:
  Win32HandlerPlatform() = default;
  Win32HandlerPlatform(const Win32HandlerPlatform&) = delete;
  Win32HandlerPlatform& operator=(const Win32HandlerPlatform&) = delete;

  HandlerPlatform& Get() { return platform_; }

 private:
  win32::Win32Environment environment_;
  win32::Win32AgentChannel agent_;
  win32::Win32TempFiles tempFiles_;
  win32::Win32ProgramStarter starter_{g_entryPointInstance};
  win32::Win32FileMover mover_;
  win32::Win32MenuTarget menu_;
  win32::Win32TextSource texts_{ResourceInstance()};
  HandlerPlatform platform_{environment_, agent_, tempFiles_, starter_, mover_, menu_, texts_};
};

}  // namespace torvo::server
