#include "registrar/reg_object.h"

#include <climits>
#include <iterator>
#include <new>
#include <string>
#include <vector>

namespace torvo {

HResult CRegObject::QueryInterface(const void*, void**) { return kNotImplemented; }

HResult CRegObject::AddSubstitution(const char16_t* name, const char16_t* value) {
  if (name == nullptr || value == nullptr) return kInvalidArg;
  try {
    substitutions_.Add(name, value);
    return kOk;
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
}

HResult CRegObject::ClearSubstitutions() {
  substitutions_.Clear();
  return kOk;
}

HResult CRegObject::ApplyResourceScript(const char16_t* modulePath, std::uint16_t number, const char16_t* type,
                                        bool registerFlag) {
  return WalkResourceScript(modulePath, number, type, registerFlag ? WalkPass::kRegister : WalkPass::kUnregister,
                            nullptr);
}

HResult CRegObject::CheckResourceScript(const char16_t* modulePath, std::uint16_t number, const char16_t* type,
                                        std::vector<RegistryDifference>& differences) {
  return WalkResourceScript(modulePath, number, type, WalkPass::kCheck, &differences);
}

HResult CRegObject::WalkResourceScript(const char16_t* modulePath, std::uint16_t number, const char16_t* type,
                                       WalkPass pass, std::vector<RegistryDifference>* differences) {
  try {
    std::vector<std::uint8_t> bytes;
    const std::int32_t loaded = source_.LoadResourceBytes(modulePath, number, type, bytes);
    if (loaded != 0) return HresultFromLastError(loaded);
    // The conversion counts in ints, and the text needs one more unit for its terminator.
    if (bytes.size() >= static_cast<std::size_t>(INT_MAX)) return kOutOfMemory;
    const int count = static_cast<int>(bytes.size());
    std::u16string text(bytes.size(), u'\0');
    const int units = source_.FromThreadAnsi(bytes.data(), count, text.data(), count);
    if (units <= 0) return HresultFromLastError(source_.LastError());
    text.resize(static_cast<std::size_t>(units));
    CRegScriptParser parser(substitutions_, registry_);
    const HResult walked = ApplyScript(parser, text.c_str(), pass);
    if (differences != nullptr) {
      differences->insert(differences->end(), std::make_move_iterator(parser.differences.begin()),
                          std::make_move_iterator(parser.differences.end()));
    }
    return walked;
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
}

}  // namespace torvo
