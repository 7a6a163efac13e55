#include "shellmenu/trusted_agent.h"

#include "common/text.h"
#include "shellmenu/agent_launch.h"
#include "shellmenu/program_launch.h"

namespace torvo {

AgentLink TrustedAgent(HandlerPlatform& platform) {
  char16_t program[kMaxPath];
  const bool found = FindProgramBesideOwnModule(platform.starter, kAgentExecutableName, program);
  return AgentLink{platform.agent, platform.environment, found ? std::u16string(program) : std::u16string()};
}

}  // namespace torvo
