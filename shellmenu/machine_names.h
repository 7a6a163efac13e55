#pragma once
// The names by which a UNC path can reach this machine.
#include <string_view>

#include "shellmenu/environment.h"

namespace torvo {

// Whether the host of a UNC path is this machine: "localhost", a loopback address (127.0.0.0/8 in
// dotted decimal, "::1" bare or bracketed, its UNC literal "--1.ipv6-literal.net"), or one of the
// machine's own names (NetBIOS, DNS, fully qualified), without regard to case and with or without
// one trailing dot. The machine's names are asked only when nothing else matched.
bool IsThisMachine(std::u16string_view host, const Environment& environment);

}  // namespace torvo
