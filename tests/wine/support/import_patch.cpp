#include "tests/wine/support/import_patch.h"

#include <cstring>

namespace torvo::wine {

namespace {

void WriteSlot(void** slot, void* value) {
  DWORD oldProtection = 0;
  ::VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &oldProtection);
  *slot = value;
  ::VirtualProtect(slot, sizeof(void*), oldProtection, &oldProtection);
}

// The import address slot of `function` from `dllName` in the module's import table.
void** FindImportSlot(HMODULE module, const char* dllName, const char* function) {
  auto* base = reinterpret_cast<BYTE*>(module);
  auto* dos = reinterpret_cast<IMAGE_DOS_HEADER*>(base);
  auto* nt = reinterpret_cast<IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
  const IMAGE_DATA_DIRECTORY& imports = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
  if (imports.VirtualAddress == 0) return nullptr;
  for (auto* d = reinterpret_cast<IMAGE_IMPORT_DESCRIPTOR*>(base + imports.VirtualAddress); d->Name != 0; ++d) {
    if (::lstrcmpiA(reinterpret_cast<char*>(base + d->Name), dllName) != 0) continue;
    auto* names = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->OriginalFirstThunk);
    auto* slots = reinterpret_cast<IMAGE_THUNK_DATA*>(base + d->FirstThunk);
    for (; names->u1.AddressOfData != 0; ++names, ++slots) {
      if (IMAGE_SNAP_BY_ORDINAL(names->u1.Ordinal)) continue;
      auto* byName = reinterpret_cast<IMAGE_IMPORT_BY_NAME*>(base + names->u1.AddressOfData);
      if (std::strcmp(reinterpret_cast<char*>(byName->Name), function) == 0) {
        return reinterpret_cast<void**>(&slots->u1.Function);
      }
    }
  }
  return nullptr;
}

// A function the module loads on its first call (a delay-loaded import) is bound through the
// module's own import of GetProcAddress: that lookup answers the replacement.
const char* g_delayedFunction = nullptr;
void* g_delayedReplacement = nullptr;

FARPROC WINAPI BindingGetProcAddress(HMODULE module, LPCSTR name) {
  const bool byName = reinterpret_cast<ULONG_PTR>(name) > 0xFFFF;
  if (byName && g_delayedFunction != nullptr && std::strcmp(name, g_delayedFunction) == 0) {
    return reinterpret_cast<FARPROC>(g_delayedReplacement);
  }
  return ::GetProcAddress(module, name);
}

}  // namespace

ImportPatch::ImportPatch(HMODULE module, const char* dllName, const char* function, void* replacement)
    : slot_(FindImportSlot(module, dllName, function)) {
  if (slot_ == nullptr) {
    slot_ = FindImportSlot(module, "kernel32.dll", "GetProcAddress");
    if (slot_ == nullptr) return;
    g_delayedFunction = function;
    g_delayedReplacement = replacement;
    replacement = reinterpret_cast<void*>(&BindingGetProcAddress);
  }
  original_ = *slot_;
  WriteSlot(slot_, replacement);
}

ImportPatch::~ImportPatch() {
  if (slot_ != nullptr) WriteSlot(slot_, original_);
  g_delayedFunction = nullptr;
}

}  // namespace torvo::wine
