#pragma once
// Everything of the platform that the handler's operations reach, one interface per concern.
#include "shellmenu/agent_channel.h"
#include "shellmenu/environment.h"
#include "shellmenu/file_mover.h"
#include "shellmenu/menu_target.h"
#include "shellmenu/program_starter.h"
#include "shellmenu/temp_files.h"
#include "shellmenu/text_source.h"

namespace torvo {

struct HandlerPlatform {
  const Environment& environment;
  AgentChannel& agent;
  TempFiles& tempFiles;
  ProgramStarter& starter;
  FileMover& mover;
  MenuTarget& menu;
  TextSource& texts;
};

}  // namespace torvo
