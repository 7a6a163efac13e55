#include "registrar/shared_keys.h"

#include <array>
#include <new>
#include <utility>

#include "common/text.h"

namespace torvo {

namespace {

// The keys below the classes that each view keeps for itself, and the 32-bit view's own node.
constexpr std::array<std::u16string_view, 6> kRedirectedClassesKeys = {
    u"CLSID", u"Interface", u"DirectShow", u"Media Type", u"MediaFoundation", u"Wow6432Node",
};

// The first name of `path` and what follows the "\" behind it.
std::u16string_view Head(std::u16string_view path, std::u16string_view* rest) {
  const std::size_t end = path.find(u'\\');
  *rest = end == std::u16string_view::npos ? std::u16string_view() : path.substr(end + 1);
  return path.substr(0, end);
}

// `path` below the key "a\b" named by `prefix`, whose rest goes to `rest`.
bool StartsWith(std::u16string_view path, std::u16string_view prefix, std::u16string_view* rest) {
  if (path.size() < prefix.size() || !EqualsFoldingAscii(path.substr(0, prefix.size()), prefix)) return false;
  if (path.size() == prefix.size()) {
    *rest = {};
    return true;
  }
  if (path[prefix.size()] != u'\\') return false;
  *rest = path.substr(prefix.size() + 1);
  return true;
}

bool IsSharedClassesKey(std::u16string_view below) {
  std::u16string_view rest;
  const std::u16string_view head = Head(below, &rest);
  for (const std::u16string_view redirected : kRedirectedClassesKeys) {
    if (EqualsFoldingAscii(head, redirected)) return false;
  }
  return true;
}

const char16_t* RootName(RegKey key) {
  if (key == kHkeyClassesRoot) return u"HKCR";
  if (key == kHkeyLocalMachine) return u"HKLM";
  if (key == kHkeyCurrentUser) return u"HKCU";
  return nullptr;
}

}  // namespace

bool IsSharedBetweenViews(std::u16string_view path) {
  std::u16string_view below;
  if (StartsWith(path, u"HKCR", &below) || StartsWith(path, u"HKLM\\Software\\Classes", &below) ||
      StartsWith(path, u"HKCU\\Software\\Classes", &below)) {
    return IsSharedClassesKey(below);
  }
  return !StartsWith(path, u"HKLM\\Software", &below);
}

std::u16string SharedKeyKeeper::PathOf(RegKey key) const {
  if (const char16_t* root = RootName(key)) return root;
  const auto found = paths_.find(key);
  return found != paths_.end() ? found->second : std::u16string();
}

std::int32_t SharedKeyKeeper::Remember(std::int32_t opened, RegKey parent, const char16_t* name, RegKey key) {
  if (opened != 0) return opened;
  std::u16string path = PathOf(parent);
  if (!path.empty() && name != nullptr && *name != u'\0') path += u'\\' + std::u16string(name);
  try {
    paths_[key] = std::move(path);
  } catch (const std::bad_alloc&) {
    inner_.CloseKey(key);
    throw;
  }
  return 0;
}

std::int32_t SharedKeyKeeper::OpenKey(RegKey parent, const char16_t* name, std::uint32_t access, RegKey* key) {
  const std::int32_t opened = inner_.OpenKey(parent, name, access, key);
  return Remember(opened, parent, name, *key);
}

std::int32_t SharedKeyKeeper::CreateKey(RegKey parent, const char16_t* name, std::uint32_t access, RegKey* key) {
  const std::int32_t created = inner_.CreateKey(parent, name, access, key);
  return Remember(created, parent, name, *key);
}

std::int32_t SharedKeyKeeper::DeleteValue(RegKey key, const char16_t* name) {
  const std::u16string path = PathOf(key);
  if (!path.empty() && IsSharedBetweenViews(path)) return 0;
  return inner_.DeleteValue(key, name);
}

std::int32_t SharedKeyKeeper::DeleteKey(RegKey parent, const char16_t* name) {
  const std::u16string path = PathOf(parent);
  if (!path.empty() && name != nullptr && IsSharedBetweenViews(path + u'\\' + name)) return 0;
  return inner_.DeleteKey(parent, name);
}

std::int32_t SharedKeyKeeper::CloseKey(RegKey key) {
  paths_.erase(key);
  return inner_.CloseKey(key);
}

}  // namespace torvo
