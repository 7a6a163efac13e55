#pragma once
// The agent as the handler trusts it: the program zebtorvofloat.exe beside the DLL.
#include "shellmenu/agent_protocol.h"
#include "shellmenu/handler_platform.h"

namespace torvo {

// The link to the agent beside the DLL; one that trusts no window when the DLL's own path cannot
// be read whole.
AgentLink TrustedAgent(HandlerPlatform& platform);

}  // namespace torvo
