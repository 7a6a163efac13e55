#pragma once
// The whole platform of the handler in memory: the example machine's environment and one fake per
// concern, all writing into one journal of calls.
#include <string>
#include <vector>

#include "shellmenu/handler_platform.h"
#include "tests/fakes/fake_agent_channel.h"
#include "tests/fakes/fake_environment.h"
#include "tests/fakes/fake_file_mover.h"
#include "tests/fakes/fake_menu_target.h"
#include "tests/fakes/fake_program_starter.h"
#include "tests/fakes/fake_temp_files.h"
#include "tests/fakes/fake_text_source.h"

namespace torvo::fakes {

struct FakeHandlerPlatform {
  FakeHandlerPlatform();
  FakeHandlerPlatform(const FakeHandlerPlatform&) = delete;
  FakeHandlerPlatform& operator=(const FakeHandlerPlatform&) = delete;

  std::vector<std::string> journal;
  FakeEnvironment environment = ExampleMachine();
  FakeAgentChannel agent;
  FakeTempFiles tempFiles;
  FakeProgramStarter starter;
  FakeFileMover mover;
  FakeMenuTarget menu;
  FakeTextSource texts;
  HandlerPlatform platform{environment, agent, tempFiles, starter, mover, menu, texts};
};

}  // namespace torvo::fakes
