#include "tests/fakes/fake_handler_platform.h"

namespace torvo::fakes {

FakeHandlerPlatform::FakeHandlerPlatform() {
  agent.journal = &journal;
  tempFiles.journal = &journal;
  starter.journal = &journal;
  mover.journal = &journal;
  mover.threadPlatform = &platform;
  menu.journal = &journal;
}

}  // namespace torvo::fakes
