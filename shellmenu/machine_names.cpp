#include "shellmenu/machine_names.h"

#include <algorithm>
#include <string>
#include <vector>

namespace torvo {

namespace {

constexpr std::u16string_view kLoopbackNames[] = {u"localhost", u"::1", u"[::1]", u"--1.ipv6-literal.net",
                                                  u"0--1.ipv6-literal.net"};

// A decimal number of 1 to 3 digits, at most 255.
bool IsOctet(std::u16string_view part) {
  if (part.empty() || part.size() > 3) return false;
  unsigned value = 0;
  for (const char16_t unit : part) {
    if (unit < u'0' || unit > u'9') return false;
    value = value * 10 + (unit - u'0');
  }
  return value <= 255;
}

// 127.x.y.z: four dotted decimal octets, the first 127.
bool IsLoopbackAddress(std::u16string_view host) {
  if (!host.starts_with(u"127.")) return false;
  int parts = 0;
  for (std::size_t at = 0; at <= host.size(); ++parts) {
    const std::size_t end = std::min(host.find(u'.', at), host.size());
    if (!IsOctet(host.substr(at, end - at))) return false;
    at = end + 1;
  }
  return parts == 4;
}

}  // namespace

bool IsThisMachine(std::u16string_view host, const Environment& environment) {
  if (host.ends_with(u'.')) host.remove_suffix(1);
  if (host.empty()) return false;
  const auto named = [&](std::u16string_view name) { return environment.EqualIgnoringCase(host, name); };
  if (IsLoopbackAddress(host) || std::any_of(std::begin(kLoopbackNames), std::end(kLoopbackNames), named)) return true;
  const std::vector<std::u16string> names = environment.ComputerNames();
  return std::any_of(names.begin(), names.end(),
                     [&](const std::u16string& name) { return !name.empty() && named(name); });
}

}  // namespace torvo
