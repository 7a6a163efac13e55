// The scripts the DLL carries are byte for byte the ones the engine's tests apply.
#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>

#include "tests/fakes/registry_scripts.h"

namespace torvo {
namespace {

std::string FileBytes(const std::string& relativePath) {
  std::ifstream file(std::string(TORVO_SOURCE_DIR) + "/" + relativePath, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

TEST(ScriptFiles, TheResourceScriptsAreTheTestedScripts) {
  EXPECT_EQ(FileBytes("resources/torvo_appid.rgs"), fakes::kAppIdScript);
  EXPECT_EQ(FileBytes("resources/torvo_handler.rgs"), fakes::kHandlerScript);
}

}  // namespace
}  // namespace torvo
