#pragma once
// CTorvoShellMenuModule, the module object of TorvoShellMenu.dll, and the server's static objects.
#include "registrar/registry_resource.h"
#include "resources/app_id.h"
#include "server/class_table.h"
#include "server/module.h"

namespace torvo::server {

class CTorvoShellMenuModule : public CAtlDllModuleT<CTorvoShellMenuModule>, public RegistrarModule {
 public:
  // Adds "APPID" to the registrar of every script the module applies.
  HResult AddCommonSubstitutions(IRegistrarBase& registrar) override;
};

CTorvoShellMenuModule& TheModule();
ClassTable& TheClassTable();

}  // namespace torvo::server
