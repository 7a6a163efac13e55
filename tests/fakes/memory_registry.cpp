#include "tests/fakes/memory_registry.h"

#include <cstring>
#include <string_view>

#include "common/text.h"

namespace torvo::fakes {

struct MemoryRegistry::Node {
  std::u16string name;
  std::weak_ptr<Node> parent;
  bool deleted = false;
  bool denyWrites = false;
  bool denyAccess = false;
  std::int32_t setValueFailure = 0;
  // Keyed by the name with ASCII letters folded; each entry keeps the name as it was written.
  std::map<std::u16string, std::shared_ptr<Node>> children;
  std::map<std::u16string, std::pair<std::u16string, RegistryValue>> values;

  bool DeniesWrites() const { return Inherited(&Node::denyWrites) || DeniesAccess(); }
  bool DeniesAccess() const { return Inherited(&Node::denyAccess); }

 private:
  bool Inherited(bool Node::*flag) const {
    if (this->*flag) return true;
    const auto up = parent.lock();
    return up != nullptr && up->Inherited(flag);
  }
};

namespace {

constexpr std::uint32_t kAllAccess = 0xF003F;  // KEY_ALL_ACCESS

std::u16string Folded(std::u16string_view name) {
  std::u16string folded(name);
  for (char16_t& unit : folded) unit = FoldAscii(unit);
  return folded;
}

std::vector<std::u16string> Components(std::u16string_view path) {
  std::vector<std::u16string> parts;
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t end = std::min(path.find(u'\\', start), path.size());
    if (end > start) parts.emplace_back(path.substr(start, end - start));
    start = end + 1;
  }
  return parts;
}

std::string Utf8(std::u16string_view text) {
  std::string out;
  for (const char16_t unit : text) {
    if (unit < 0x80) {
      out += static_cast<char>(unit);
    } else if (unit < 0x800) {
      out += static_cast<char>(0xC0 | (unit >> 6));
      out += static_cast<char>(0x80 | (unit & 0x3F));
    } else {
      out += static_cast<char>(0xE0 | (unit >> 12));
      out += static_cast<char>(0x80 | ((unit >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (unit & 0x3F));
    }
  }
  return out;
}

std::u16string Units(const std::vector<std::uint8_t>& bytes) {
  std::u16string units(bytes.size() / 2, u'\0');
  if (!units.empty()) std::memcpy(units.data(), bytes.data(), units.size() * 2);
  return units;
}

std::string Hex(const std::vector<std::uint8_t>& bytes) {
  static constexpr char kDigits[] = "0123456789abcdef";
  std::string out;
  for (const std::uint8_t byte : bytes) {
    out += kDigits[byte >> 4];
    out += kDigits[byte & 0xF];
  }
  return out;
}

std::string Describe(const RegistryValue& value) {
  const std::u16string units = Units(value.bytes);
  const bool wholeUnits = value.bytes.size() % 2 == 0;
  switch (value.type) {
    case kRegSz:
      if (wholeUnits && !units.empty() && units.back() == u'\0') {
        return "REG_SZ \"" + Utf8(std::u16string_view(units).substr(0, units.size() - 1)) + "\"";
      }
      return "REG_SZ (unterminated) " + Hex(value.bytes);
    case kRegMultiSz: {
      if (!wholeUnits || units.empty() || units.back() != u'\0')
        return "REG_MULTI_SZ (unterminated) " + Hex(value.bytes);
      std::string out = "REG_MULTI_SZ";
      std::size_t start = 0;
      while (start < units.size()) {
        const std::size_t end = units.find(u'\0', start);
        out += " \"" + Utf8(std::u16string_view(units).substr(start, end - start)) + "\"";
        start = end + 1;
      }
      return out;
    }
    case kRegDword:
      if (value.bytes.size() == 4) {
        std::uint32_t number = 0;
        std::memcpy(&number, value.bytes.data(), 4);
        return "REG_DWORD " + std::to_string(number);
      }
      return "REG_DWORD (size " + std::to_string(value.bytes.size()) + ") " + Hex(value.bytes);
    case kRegBinary:
      return "REG_BINARY " + Hex(value.bytes);
    default:
      return "type " + std::to_string(value.type) + " " + Hex(value.bytes);
  }
}

void DumpNode(const MemoryRegistry::Node& node, const std::string& path, std::vector<std::string>& lines);

void ListKeys(const MemoryRegistry::Node& node, RegKey root, const std::u16string& path,
              std::vector<MemoryRegistry::KeyPath>& keys) {
  for (const auto& [folded, child] : node.children) {
    const std::u16string childPath = path.empty() ? child->name : path + u"\\" + child->name;
    keys.push_back({root, childPath});
    ListKeys(*child, root, childPath, keys);
  }
}

}  // namespace

MemoryRegistry::MemoryRegistry() {
  for (const RegKey root : {kHkeyClassesRoot, kHkeyCurrentUser, kHkeyLocalMachine, kHkeyUsers, kHkeyPerformanceData,
                            kHkeyCurrentConfig, kHkeyDynData}) {
    roots_[root] = std::make_shared<Node>();
    handles_[root] = Handle{roots_[root], kAllAccess};  // never closed
  }
}

MemoryRegistry::~MemoryRegistry() = default;

const MemoryRegistry::Handle* MemoryRegistry::Find(RegKey key) const {
  const auto handle = handles_.find(key);
  return handle == handles_.end() ? nullptr : &handle->second;
}

std::shared_ptr<MemoryRegistry::Node> MemoryRegistry::Root(RegKey root) const {
  const auto found = roots_.find(root);
  return found == roots_.end() ? nullptr : found->second;
}

std::shared_ptr<MemoryRegistry::Node> MemoryRegistry::Resolve(const std::shared_ptr<Node>& from,
                                                              const std::u16string& path) const {
  std::shared_ptr<Node> node = from;
  for (const std::u16string& part : Components(path)) {
    if (node == nullptr) return nullptr;
    const auto child = node->children.find(Folded(part));
    node = child == node->children.end() ? nullptr : child->second;
  }
  return node;
}

RegKey MemoryRegistry::NewHandle(std::shared_ptr<Node> node, std::uint32_t access) {
  const RegKey key = nextHandle_;
  nextHandle_ += 4;
  handles_[key] = Handle{std::move(node), access};
  return key;
}

std::int32_t MemoryRegistry::Open(RegKey parent, const char16_t* name, std::uint32_t access, RegKey* key, bool create) {
  const Handle* handle = Find(parent);
  if (handle == nullptr || key == nullptr) return kErrorInvalidHandle;
  if (handle->node->deleted) return kErrorKeyDeleted;
  std::shared_ptr<Node> node = handle->node;
  const std::uint32_t parentAccess = handle->access;
  for (const std::u16string& part : Components(name == nullptr ? u"" : name)) {
    if (node->DeniesAccess()) return kErrorAccessDenied;
    const auto child = node->children.find(Folded(part));
    if (child != node->children.end()) {
      node = child->second;
      continue;
    }
    if (!create) return kErrorFileNotFound;
    if ((parentAccess & kKeyCreateSubKey) == 0 || node->DeniesWrites()) return kErrorAccessDenied;
    auto created = std::make_shared<Node>();
    created->name = part;
    created->parent = node;
    node->children[Folded(part)] = created;
    node = std::move(created);
  }
  if (node->DeniesAccess()) return kErrorAccessDenied;
  if ((access & (kKeySetValue | kKeyCreateSubKey)) != 0 && node->DeniesWrites()) return kErrorAccessDenied;
  *key = NewHandle(std::move(node), access);
  return 0;
}

std::int32_t MemoryRegistry::OpenKey(RegKey parent, const char16_t* name, std::uint32_t access, RegKey* key) {
  if ((access & (kKeySetValue | kKeyCreateSubKey)) != 0) ++writeRequests;
  return Open(parent, name, access, key, false);
}

std::int32_t MemoryRegistry::CreateKey(RegKey parent, const char16_t* name, std::uint32_t access, RegKey* key) {
  ++writeRequests;
  return Open(parent, name, access, key, true);
}

std::int32_t MemoryRegistry::SetValue(RegKey key, const char16_t* name, std::uint32_t type, const void* data,
                                      std::uint32_t bytes) {
  ++setValueCalls;
  ++writeRequests;
  const Handle* handle = Find(key);
  if (handle == nullptr) return kErrorInvalidHandle;
  Node& node = *handle->node;
  if (node.deleted) return kErrorKeyDeleted;
  if ((handle->access & kKeySetValue) == 0 || node.DeniesWrites()) return kErrorAccessDenied;
  if (node.setValueFailure != 0) return node.setValueFailure;
  if (data == nullptr && bytes != 0) return 87;  // ERROR_INVALID_PARAMETER
  const std::u16string valueName = name == nullptr ? u"" : name;
  RegistryValue value{type, {}};
  if (bytes != 0) {
    const auto* first = static_cast<const std::uint8_t*>(data);
    value.bytes.assign(first, first + bytes);
  }
  node.values[Folded(valueName)] = {valueName, std::move(value)};
  return 0;
}

const MemoryRegistry::Node* MemoryRegistry::Readable(RegKey key, std::uint32_t access, std::int32_t* code) const {
  const Handle* handle = Find(key);
  *code = handle == nullptr                ? kErrorInvalidHandle
          : handle->node->deleted          ? kErrorKeyDeleted
          : (handle->access & access) == 0 ? kErrorAccessDenied
                                           : 0;
  return *code == 0 ? handle->node.get() : nullptr;
}

std::int32_t MemoryRegistry::QueryValue(RegKey key, const char16_t* name, std::uint32_t* type,
                                        std::vector<std::uint8_t>& data) {
  std::int32_t code = 0;
  const Node* readable = Readable(key, kKeyQueryValue, &code);
  if (readable == nullptr) return code;
  const Node& node = *readable;
  const auto value = node.values.find(Folded(name == nullptr ? u"" : name));
  if (value == node.values.end()) return kErrorFileNotFound;
  *type = value->second.second.type;
  data = value->second.second.bytes;
  return 0;
}

std::int32_t MemoryRegistry::DeleteValue(RegKey key, const char16_t* name) {
  ++writeRequests;
  const Handle* handle = Find(key);
  if (handle == nullptr) return kErrorInvalidHandle;
  Node& node = *handle->node;
  if (node.deleted) return kErrorKeyDeleted;
  if ((handle->access & kKeySetValue) == 0 || node.DeniesWrites()) return kErrorAccessDenied;
  return node.values.erase(Folded(name == nullptr ? u"" : name)) == 0 ? kErrorFileNotFound : 0;
}

std::int32_t MemoryRegistry::EnumKey(RegKey key, std::uint32_t index, char16_t* name, std::uint32_t size) {
  std::int32_t code = 0;
  const Node* readable = Readable(key, kKeyEnumerateSubKeys, &code);
  if (readable == nullptr) return code;
  const Node& node = *readable;
  if (index >= node.children.size()) return kErrorNoMoreItems;
  auto child = node.children.begin();
  std::advance(child, index);
  const std::u16string& childName = child->second->name;
  if (childName.size() + 1 > size) return kErrorMoreData;
  std::copy(childName.c_str(), childName.c_str() + childName.size() + 1, name);
  return 0;
}

std::int32_t MemoryRegistry::EnumValue(RegKey key, std::uint32_t index, std::u16string& name, std::uint32_t* type,
                                       std::vector<std::uint8_t>& data) {
  std::int32_t code = 0;
  const Node* readable = Readable(key, kKeyQueryValue, &code);
  if (readable == nullptr) return code;
  const Node& node = *readable;
  if (index >= node.values.size()) return kErrorNoMoreItems;
  auto value = node.values.begin();
  std::advance(value, index);
  name = value->second.first;
  *type = value->second.second.type;
  data = value->second.second.bytes;
  return 0;
}

std::int32_t MemoryRegistry::QuerySubkeyCount(RegKey key, std::uint32_t* count) {
  const Handle* handle = Find(key);
  if (handle == nullptr) return kErrorInvalidHandle;
  if (handle->node->deleted) return kErrorKeyDeleted;
  if ((handle->access & kKeyQueryValue) == 0) return kErrorAccessDenied;
  *count = static_cast<std::uint32_t>(handle->node->children.size());
  return 0;
}

std::int32_t MemoryRegistry::DeleteKey(RegKey parent, const char16_t* name) {
  ++writeRequests;
  const Handle* handle = Find(parent);
  if (handle == nullptr) return kErrorInvalidHandle;
  if (name == nullptr || name[0] == u'\0') return 87;  // ERROR_INVALID_PARAMETER
  const std::shared_ptr<Node> node = Resolve(handle->node, name);
  if (node == nullptr) return kErrorFileNotFound;
  if (node->DeniesWrites() || !node->children.empty()) return kErrorAccessDenied;
  const std::shared_ptr<Node> up = node->parent.lock();
  if (up == nullptr) return kErrorAccessDenied;  // a root key itself
  up->children.erase(Folded(node->name));
  node->deleted = true;
  return 0;
}

std::int32_t MemoryRegistry::CloseKey(RegKey key) {
  if (IsPredefinedKey(key)) {
    ++predefinedCloses;
    return 0;
  }
  return handles_.erase(key) == 0 ? kErrorInvalidHandle : 0;
}

HResult MemoryRegistry::VarUI4FromStr(const char16_t* text, std::uint32_t* value) {
  std::u16string_view digits(text);
  while (!digits.empty() && digits.front() == u' ') digits.remove_prefix(1);
  while (!digits.empty() && digits.back() == u' ') digits.remove_suffix(1);
  if (digits.empty()) return kDispTypeMismatch;
  std::uint64_t number = 0;
  for (const char16_t unit : digits) {
    if (unit < u'0' || unit > u'9') return kDispTypeMismatch;
    number = number * 10 + (unit - u'0');
    if (number > 0xFFFFFFFFu) return kDispOverflow;
  }
  *value = static_cast<std::uint32_t>(number);
  return kOk;
}

void MemoryRegistry::AddKey(RegKey root, const std::u16string& path) {
  RegKey key = 0;
  if (Open(root, path.c_str(), kAllAccess, &key, true) == 0) CloseKey(key);
}

void MemoryRegistry::AddString(RegKey root, const std::u16string& path, const std::u16string& name,
                               const std::u16string& text) {
  AddKey(root, path);
  const std::shared_ptr<Node> node = Resolve(Root(root), path);
  RegistryValue value{kRegSz, std::vector<std::uint8_t>((text.size() + 1) * 2, 0)};
  std::memcpy(value.bytes.data(), text.c_str(), text.size() * 2);
  node->values[Folded(name)] = {name, std::move(value)};
}

bool MemoryRegistry::KeyExists(RegKey root, const std::u16string& path) const {
  return Resolve(Root(root), path) != nullptr;
}

std::optional<RegistryValue> MemoryRegistry::Value(RegKey root, const std::u16string& path,
                                                   const std::u16string& name) const {
  const std::shared_ptr<Node> node = Resolve(Root(root), path);
  if (node == nullptr) return std::nullopt;
  const auto value = node->values.find(Folded(name));
  if (value == node->values.end()) return std::nullopt;
  return value->second.second;
}

std::optional<std::u16string> MemoryRegistry::StringValue(RegKey root, const std::u16string& path,
                                                          const std::u16string& name) const {
  const std::optional<RegistryValue> value = Value(root, path, name);
  if (!value || value->type != kRegSz) return std::nullopt;
  std::u16string units = Units(value->bytes);
  if (units.empty() || units.back() != u'\0') return std::nullopt;
  units.pop_back();
  return units;
}

void MemoryRegistry::DenyWrites(RegKey root, const std::u16string& path) {
  AddKey(root, path);
  Resolve(Root(root), path)->denyWrites = true;
}

void MemoryRegistry::DenyAccess(RegKey root, const std::u16string& path) {
  AddKey(root, path);
  Resolve(Root(root), path)->denyAccess = true;
}

void MemoryRegistry::FailSetValue(RegKey root, const std::u16string& path, std::int32_t code) {
  AddKey(root, path);
  Resolve(Root(root), path)->setValueFailure = code;
}

namespace {

void DumpNode(const MemoryRegistry::Node& node, const std::string& path, std::vector<std::string>& lines) {
  for (const auto& [folded, named] : node.values) {
    lines.push_back(path + " [" + Utf8(named.first) + "] = " + Describe(named.second));
  }
  for (const auto& [folded, child] : node.children) {
    const std::string childPath = path + "\\" + Utf8(child->name);
    lines.push_back(childPath);
    DumpNode(*child, childPath, lines);
  }
}

}  // namespace

std::vector<std::string> MemoryRegistry::Dump() const {
  static constexpr std::pair<RegKey, const char*> kRootNames[] = {
      {kHkeyClassesRoot, "HKCR"},     {kHkeyCurrentUser, "HKCU"},   {kHkeyLocalMachine, "HKLM"}, {kHkeyUsers, "HKU"},
      {kHkeyPerformanceData, "HKPD"}, {kHkeyCurrentConfig, "HKCC"}, {kHkeyDynData, "HKDD"}};
  std::vector<std::string> lines;
  for (const auto& [root, name] : kRootNames) DumpNode(*Root(root), name, lines);
  return lines;
}

std::vector<MemoryRegistry::KeyPath> MemoryRegistry::Keys() const {
  std::vector<KeyPath> keys;
  for (const auto& [root, node] : roots_) ListKeys(*node, root, u"", keys);
  return keys;
}

}  // namespace torvo::fakes
