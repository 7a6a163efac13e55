// Arbitrary bytes as the drop-file block of a data object, in both encodings, through the
// selection capture and its one-pass reader. Besides what the sanitizers report (the block is
// copied into memory of exactly its size, so any read outside it is caught), every path kept must
// fit a path buffer and the last item path must be one of them or empty.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <vector>

#include "common/text.h"
#include "shellmenu/selection.h"
#include "tests/fakes/fake_drop_files.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

void CheckState(const torvo::HandlerState& state) {
  for (const std::u16string& path : state.m_selection) {
    Check(!path.empty() && path.size() < torvo::kMaxPath);
    Check(path.find(u'\0') == std::u16string::npos);
  }
  const std::u16string last(state.lastItemPath);
  Check(last.empty() || (!state.m_selection.empty() && state.m_selection.back() == last));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::vector<std::uint8_t> block(data, data + size);
  torvo::fakes::FakeDropFiles drop(block);
  torvo::HandlerState state;
  state.m_selection = {u"D:\\earlier"};
  std::char_traits<char16_t>::copy(state.lastItemPath, u"D:\\earlier", 11);
  const torvo::HResult result = torvo::CaptureSelection(&drop, state);
  Check(result == torvo::kOk || result == torvo::kInvalidArg);
  if (result == torvo::kInvalidArg) Check(state.m_selection.size() == 1 && state.m_selection[0] == u"D:\\earlier");
  CheckState(state);
  return 0;
}
