#include "tools/doctor/reads/machine_classes_view.h"

namespace torvo::doctor {

MachineClassesView::MachineClassesView(Registry& registry) : registry_(registry) {
  if (registry_.OpenKey(kHkeyLocalMachine, u"Software\\Classes", kKeyRead, &classes_) != 0) classes_ = 0;
}

MachineClassesView::~MachineClassesView() {
  if (classes_ != 0) registry_.CloseKey(classes_);
}

std::int32_t MachineClassesView::OpenKey(RegKey parent, const char16_t* name, std::uint32_t access, RegKey* key) {
  return registry_.OpenKey(Map(parent), name, access, key);
}

std::int32_t MachineClassesView::CreateKey(RegKey parent, const char16_t* name, std::uint32_t access, RegKey* key) {
  return registry_.CreateKey(Map(parent), name, access, key);
}

std::int32_t MachineClassesView::SetValue(RegKey key, const char16_t* name, std::uint32_t type, const void* data,
                                          std::uint32_t bytes) {
  return registry_.SetValue(Map(key), name, type, data, bytes);
}

std::int32_t MachineClassesView::QueryValue(RegKey key, const char16_t* name, std::uint32_t* type,
                                            std::vector<std::uint8_t>& data) {
  return registry_.QueryValue(Map(key), name, type, data);
}

std::int32_t MachineClassesView::DeleteValue(RegKey key, const char16_t* name) {
  return registry_.DeleteValue(Map(key), name);
}

std::int32_t MachineClassesView::EnumKey(RegKey key, std::uint32_t index, char16_t* name, std::uint32_t size) {
  return registry_.EnumKey(Map(key), index, name, size);
}

std::int32_t MachineClassesView::EnumValue(RegKey key, std::uint32_t index, std::u16string& name, std::uint32_t* type,
                                           std::vector<std::uint8_t>& data) {
  return registry_.EnumValue(Map(key), index, name, type, data);
}

std::int32_t MachineClassesView::QuerySubkeyCount(RegKey key, std::uint32_t* count) {
  return registry_.QuerySubkeyCount(Map(key), count);
}

std::int32_t MachineClassesView::DeleteKey(RegKey parent, const char16_t* name) {
  return registry_.DeleteKey(Map(parent), name);
}

// The classes key stands in for a predefined root, which is never closed.
std::int32_t MachineClassesView::CloseKey(RegKey key) { return key == classes_ ? 0 : registry_.CloseKey(key); }

HResult MachineClassesView::VarUI4FromStr(const char16_t* text, std::uint32_t* value) {
  return registry_.VarUI4FromStr(text, value);
}

}  // namespace torvo::doctor
