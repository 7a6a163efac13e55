#pragma once
// The fixes the checks name, each in words and as what --fix applies. A fix that registers again is
// the installer's repair when the installer installed the product (regsvr32 would write keys the
// installer does not own, which its removal would then leave behind), else regsvr32.
#include <string>

#include "tools/doctor/checks/check.h"
#include "tools/doctor/findings.h"

namespace torvo::doctor {

// Registers `dll` again, for every user or (`perUser`) for this user; "..., then restart Explorer".
// A DLL the doctor only reads as a file (check.h) is registered by hand, never by --fix; so in
// RegisterForEveryUser.
Remedy RegisterAgain(const DoctorContext& context, const std::wstring& dll, bool perUser);

// Registers `dll` for every user, said as `text` (a command line with the DLL that differs from the
// plain regsvr32 one); the installer's repair instead when the installer installed the product.
Remedy RegisterForEveryUser(const DoctorContext& context, const std::wstring& dll, const std::wstring& text);

// The installer's repair when the installer installed the product (it puts its files back), else
// what `byHand` says.
Remedy InstallAgain(const DoctorContext& context, std::wstring byHand);

// Deletes HKCU\Software\Classes\<keyBelowClasses>, a key of the user's that hides or breaks the
// machine's registration.
Remedy RemoveUserKey(const std::wstring& keyBelowClasses, const std::wstring& what = L"");

// Adds the class's value under HKLM\...\Shell Extensions\Approved.
Remedy WriteApproval(const DoctorContext& context);

// Registers Windows 11's package beside the DLL for this user, its folder the external location;
// when the file is missing, installing it first (the installer's repair when the installer
// installed the product). Never, by --fix, for a DLL the doctor only reads as a file (check.h):
// Explorer would load it from that folder.
Remedy RegisterPackage(const DoctorContext& context);

// A Blocked entry or a policy: what an administrator may do; --fix never does it.
Remedy AdministratorsDecision(std::wstring text);

// What a person types for a repair: reg delete ..., reg add ..., regsvr32 ..., msiexec /fam ...
std::wstring CommandOf(const Repair& repair);

}  // namespace torvo::doctor
