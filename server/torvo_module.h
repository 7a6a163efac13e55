#pragma once
// CTorvoShellMenuModule, the module object of TorvoShellMenu.dll, and the server's static objects.
#include "registrar/registry_resource.h"
#include "server/class_table.h"
#include "server/module.h"

namespace torvo::server {

// The AppID of the server, given to every registry script as %APPID%.
inline constexpr wchar_t kAppId[] = L"{C3A9F052-6D18-4E7B-9F41-2B85D06E17C9}";

class CTorvoShellMenuModule : public CAtlDllModuleT<CTorvoShellMenuModule>, public RegistrarModule {
 public:
  // Adds "APPID" to the registrar of every script the module applies.
  HResult AddCommonSubstitutions(IRegistrarBase& registrar) override;
};

CTorvoShellMenuModule& TheModule();
ClassTable& TheClassTable();

}  // namespace torvo::server
