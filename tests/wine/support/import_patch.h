#pragma once
// Replaces, for the lifetime of the object, one function that a loaded module imports by name,
// so that a test can see whether the module calls it. A function the module loads on its first
// call (OLEAUT32's, for the DLL) is replaced when that first call binds it during the patch; it
// then stays bound to the replacement while the module stays loaded.
#include <windows.h>

namespace torvo::wine {

class ImportPatch {
 public:
  ImportPatch(HMODULE module, const char* dllName, const char* function, void* replacement);
  ImportPatch(const ImportPatch&) = delete;
  ImportPatch& operator=(const ImportPatch&) = delete;
  ~ImportPatch();

  bool Applied() const { return slot_ != nullptr; }
  void* Original() const { return original_; }

 private:
  void** slot_ = nullptr;
  void* original_ = nullptr;
};

}  // namespace torvo::wine
