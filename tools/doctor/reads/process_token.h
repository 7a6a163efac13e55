#pragma once
// Whether the doctor runs elevated: then COM reads no per-user classes for it, and a DLL that only
// the user's classes name is anybody's code that runs unelevated as that user.
namespace torvo::doctor {

// TokenElevation of the process's token. Wine gives every process a full administrator's token
// (TokenElevationTypeFull; a token restricted with LUA_TOKEN keeps it) and has no other: under Wine
// alone, TORVO_DOCTOR_STANDARD_USER=1 stands for a standard user's token, for the tests that need
// one. Windows never reads that variable.
bool RunsElevated();

}  // namespace torvo::doctor
