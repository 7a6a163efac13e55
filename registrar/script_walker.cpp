#include "registrar/script_walker.h"

#include <cstddef>
#include <new>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "registrar/register_mode.h"
#include "registrar/scoped_key.h"
#include "registrar/script_expansion.h"
#include "registrar/script_tables.h"

namespace torvo {

namespace {

std::u16string_view View(const TokenBuffer& token) { return token.data(); }

bool IsBlockStart(const TokenBuffer& token) { return token[0] == u'{' && token[1] == u'\0'; }

// A key entry names one subkey of its parent: an empty name would reach the parent itself, and a
// name with a backslash a key further down.
bool IsKeyName(const TokenBuffer& token) {
  const std::u16string_view name = View(token);
  return !name.empty() && name.find(u'\\') == std::u16string_view::npos;
}

// Counts the blocks the walk is inside of, for as long as one block is being walked.
class BlockDepth {
 public:
  explicit BlockDepth(CRegScriptParser& parser) : parser_(parser) { ++parser_.blockDepth; }
  BlockDepth(const BlockDepth&) = delete;
  BlockDepth& operator=(const BlockDepth&) = delete;
  ~BlockDepth() { --parser_.blockDepth; }
  bool TooDeep() const { return parser_.blockDepth > kMaxBlockDepth; }

 private:
  CRegScriptParser& parser_;
};

// Register pass of "ForceRemove X" and "Delete X", `token` holding X: X goes with its subtree
// unless it is on the never-delete list. A key that is missing or cannot go is no error.
HResult ClearForcedKey(CRegScriptParser& parser, RegKey parent, const TokenBuffer& token, bool skip) {
  if (!IsKeyName(token)) return kDispException;
  if (!skip && !IsNeverDeleteKey(View(token))) DeleteKeyTree(parser.registry, parent, token.data());
  return kOk;
}

// After "Delete X" in the register pass: nothing is written, a value spec is passed over, and the
// entry has no block.
HResult FinishDeleteEntry(CRegScriptParser& parser, TokenBuffer& token) {
  TORVO_RETURN_IF_FAILED(ReadToken(parser, token));
  TORVO_RETURN_IF_FAILED(SkipValueSpec(parser, token));
  return IsBlockStart(token) ? kDispException : kOk;
}

// Strings read the same with or without the zeros at their end.
std::vector<std::uint8_t> ComparableData(std::uint32_t type, const std::vector<std::uint8_t>& bytes) {
  std::size_t size = bytes.size();
  if (type == kRegSz || type == kRegMultiSz) {
    while (size >= 2 && bytes[size - 1] == 0 && bytes[size - 2] == 0) size -= 2;
  }
  return std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(size));
}

void Record(CRegScriptParser& parser, RegistryDifference difference) {
  difference.keyPath = parser.keyPath;
  difference.ownedKeyPath = parser.keyPath.substr(0, parser.ownedKeyLength);
  parser.differences.push_back(std::move(difference));
}

// Check pass: records a difference when `key` does not hold `expected` as its value `name`.
HResult CompareValue(CRegScriptParser& parser, RegKey key, const char16_t* name, EncodedValue expected) {
  RegistryDifference difference;
  const std::int32_t queried = parser.registry.QueryValue(key, name, &difference.found.type, difference.found.bytes);
  if (queried == kErrorFileNotFound) {
    difference.kind = DifferenceKind::kMissingValue;
    difference.found = {};
  } else if (queried != 0) {
    return HresultFromWin32(queried);
  } else if (difference.found.type != expected.type) {
    difference.kind = DifferenceKind::kDifferentType;
  } else if (ComparableData(expected.type, expected.bytes) != ComparableData(expected.type, difference.found.bytes)) {
    difference.kind = DifferenceKind::kDifferentData;
  } else {
    return kOk;
  }
  difference.valueName = name == nullptr ? u"" : name;
  difference.expected = std::move(expected);
  Record(parser, std::move(difference));
  return kOk;
}

// Register or check pass, "=" in `token`: the value that follows is written as value `name` of
// `key` (null: its default value) or compared with it; in skip mode it is only read.
HResult WriteOrCheckValue(CRegScriptParser& parser, RegKey key, const char16_t* name, TokenBuffer& token, WalkPass pass,
                          bool skip) {
  if (!skip && pass == WalkPass::kRegister) return WriteValue(parser, key, name, token);
  EncodedValue value;
  TORVO_RETURN_IF_FAILED(ReadValue(parser, value));
  if (!skip) TORVO_RETURN_IF_FAILED(CompareValue(parser, key, name, std::move(value)));
  return ReadToken(parser, token);
}

// Deletes the value `name` of `key` through a handle opened for writing; a missing value is no error.
HResult DeleteNamedValue(Registry& registry, RegKey key, const char16_t* name) {
  RegKey handle = 0;
  const std::int32_t opened = registry.OpenKey(key, nullptr, kKeyWrite, &handle);
  if (opened != 0) return HresultFromWin32(opened);
  ScopedKey writable(registry, handle);
  const std::int32_t deleted = registry.DeleteValue(writable.Get(), name);
  if (deleted == kErrorFileNotFound) return kOk;
  return HresultFromWin32(deleted);
}

// "Val N = T V", `token` holding "Val": writes or deletes value N of `parent`.
HResult ApplyValueEntry(CRegScriptParser& parser, TokenBuffer& token, RegKey parent, WalkPass pass, bool skip,
                        bool removable) {
  TORVO_RETURN_IF_FAILED(ReadToken(parser, parser.valueName));
  TORVO_RETURN_IF_FAILED(ReadToken(parser, token));
  if (token[0] != u'=') return kDispException;
  switch (pass) {
    case WalkPass::kRegister:
    case WalkPass::kCheck:
      TORVO_RETURN_IF_FAILED(WriteOrCheckValue(parser, parent, parser.valueName.data(), token, pass, skip));
      break;
    case WalkPass::kUnregister:
      if (!skip && removable) {
        TORVO_RETURN_IF_FAILED(DeleteNamedValue(parser.registry, parent, parser.valueName.data()));
      }
      TORVO_RETURN_IF_FAILED(SkipValueSpec(parser, token));
      break;
  }
  return IsBlockStart(token) ? kDispException : kOk;  // a value has no block of its own
}

// Opens the subkey `name` of `parent` for reading and writing, else for reading, else creates it.
HResult OpenOrCreateKey(Registry& registry, RegKey parent, const char16_t* name, RegKey* key) {
  if (registry.OpenKey(parent, name, kKeyReadWrite, key) == 0) return kOk;
  if (registry.OpenKey(parent, name, kKeyRead, key) == 0) return kOk;
  return HresultFromWin32(registry.CreateKey(parent, name, kKeyReadWrite, key));
}

// The key path of the check walk names the key of an entry while the entry is walked; a removable
// entry with no removable key above it is the outermost key the removal deletes.
class KeyPathScope {
 public:
  KeyPathScope(CRegScriptParser& parser, std::u16string_view name, bool removable)
      : parser_(parser), length_(parser.keyPath.size()), owned_(parser.ownedKeyLength) {
    parser_.keyPath += u'\\';
    parser_.keyPath += name;
    if (removable && owned_ == 0) parser_.ownedKeyLength = parser_.keyPath.size();
  }
  KeyPathScope(const KeyPathScope&) = delete;
  KeyPathScope& operator=(const KeyPathScope&) = delete;
  ~KeyPathScope() {
    parser_.keyPath.resize(length_);
    parser_.ownedKeyLength = owned_;
  }

 private:
  CRegScriptParser& parser_;
  std::size_t length_;
  std::size_t owned_;
};

// The key of entry `name`. Register pass: opened for reading and writing, else for reading, else
// created. Check pass: opened for reading; a missing key is recorded and leaves `reached` false.
HResult ReachKey(CRegScriptParser& parser, RegKey parent, const char16_t* name, WalkPass pass, RegKey* key,
                 bool* reached) {
  *reached = false;
  if (pass == WalkPass::kRegister) {
    TORVO_RETURN_IF_FAILED(OpenOrCreateKey(parser.registry, parent, name, key));
  } else {
    const std::int32_t opened = parser.registry.OpenKey(parent, name, kKeyRead, key);
    if (opened == kErrorFileNotFound) {
      RegistryDifference missing;
      missing.kind = DifferenceKind::kMissingKey;
      Record(parser, std::move(missing));
      return kOk;
    }
    if (opened != 0) return HresultFromWin32(opened);
  }
  *reached = true;
  return kOk;
}

// Register or check pass of key entry X, `token` holding X: open or create X, write its default
// value and apply its block, or compare them. In skip mode, and below a missing key in the check
// pass, nothing is opened.
HResult WriteOrCheckKeyEntry(CRegScriptParser& parser, TokenBuffer& token, RegKey parent, WalkPass pass, bool skip,
                             bool removable) {
  if (!IsKeyName(token)) return kDispException;
  const KeyPathScope path(parser, View(token), removable);
  RegKey handle = 0;
  bool reached = false;
  if (!skip) TORVO_RETURN_IF_FAILED(ReachKey(parser, parent, token.data(), pass, &handle, &reached));
  ScopedKey key(parser.registry, reached ? handle : 0);
  const bool skipInside = skip || !reached;
  TORVO_RETURN_IF_FAILED(ReadToken(parser, token));
  if (token[0] == u'=') TORVO_RETURN_IF_FAILED(WriteOrCheckValue(parser, key.Get(), nullptr, token, pass, skipInside));
  if (!IsBlockStart(token)) return kOk;
  TORVO_RETURN_IF_FAILED(ApplyKeyBlock(parser, token, key.Get(), pass, skipInside));
  return ReadToken(parser, token);
}

// Unregister pass of key entry X, `token` holding X: walk X's block, then delete X when it is
// removable and has no subkeys left. A missing X is no error; its block is only read.
HResult UnregisterKeyEntry(CRegScriptParser& parser, TokenBuffer& token, RegKey parent, bool skip, bool removable) {
  if (!IsKeyName(token)) return kDispException;
  Registry& registry = parser.registry;
  RegKey handle = 0;
  const std::int32_t opened = skip ? kErrorFileNotFound : registry.OpenKey(parent, token.data(), kKeyRead, &handle);
  ScopedKey key(registry, opened == 0 ? handle : 0);
  const std::u16string name(View(token));
  TORVO_RETURN_IF_FAILED(ReadToken(parser, token));
  TORVO_RETURN_IF_FAILED(SkipValueSpec(parser, token));  // a default value goes with its key
  if (IsBlockStart(token)) {
    // A failure in a skipped block can only be a syntax error: it is reported, not passed over.
    TORVO_RETURN_IF_FAILED(ApplyKeyBlock(parser, token, key.Get(), WalkPass::kUnregister, opened != 0));
    TORVO_RETURN_IF_FAILED(ReadToken(parser, token));
  }
  if (opened == kErrorFileNotFound) return kOk;
  if (opened != 0) return HresultFromWin32(opened);
  const bool hasChildren = KeyHasChildren(registry, key.Get());
  const std::int32_t closed = key.Close();
  if (closed != 0) return HresultFromWin32(closed);
  if (!removable || hasChildren) return kOk;
  return HresultFromWin32(RemoveRegistryKey(registry, parent, name.c_str()));
}

// One entry of a block, `token` holding its first token; on success `token` holds the first
// token after it.
HResult ApplyEntry(CRegScriptParser& parser, TokenBuffer& token, RegKey parent, WalkPass pass, bool skip) {
  const bool deleting = IsKeyword(View(token), kKeywordDelete);
  if (deleting || IsKeyword(View(token), kKeywordForceRemove)) {
    TORVO_RETURN_IF_FAILED(ReadToken(parser, token));
    // In the unregister pass both prefixes leave an ordinary key entry; the check deletes nothing.
    if (pass != WalkPass::kUnregister) {
      TORVO_RETURN_IF_FAILED(ClearForcedKey(parser, parent, token, skip || pass == WalkPass::kCheck));
      if (deleting) return FinishDeleteEntry(parser, token);
    }
  }
  bool removable = true;
  if (IsKeyword(View(token), kKeywordNoRemove)) {
    removable = false;
    TORVO_RETURN_IF_FAILED(ReadToken(parser, token));
  }
  if (IsKeyword(View(token), kKeywordVal)) return ApplyValueEntry(parser, token, parent, pass, skip, removable);
  switch (pass) {
    case WalkPass::kRegister:
    case WalkPass::kCheck:
      return WriteOrCheckKeyEntry(parser, token, parent, pass, skip, removable);
    case WalkPass::kUnregister:
      return UnregisterKeyEntry(parser, token, parent, skip, removable);
  }
  return kUnexpected;
}

// One root block whose "{" has just been read; running out of memory fails it like any error.
HResult ApplyRootBlock(CRegScriptParser& parser, TokenBuffer& token, RegKey root, WalkPass pass, bool skip) {
  try {
    return ApplyKeyBlock(parser, token, root, pass, skip);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
}

// Walks the root blocks of the expanded text from its start.
HResult WalkRootBlocks(CRegScriptParser& parser, const std::u16string& expanded, WalkPass pass, bool skip) {
  parser.cursor = expanded.c_str();
  parser.blockDepth = 0;
  TokenBuffer token{};
  bool machinePartRefused = false;
  while (*parser.cursor != u'\0') {
    TORVO_RETURN_IF_FAILED(ReadToken(parser, token));
    const RegKey root = LookupRootKey(View(token));
    if (root == 0) return kDispException;
    parser.keyPath = View(token);
    parser.ownedKeyLength = 0;
    TORVO_RETURN_IF_FAILED(ReadToken(parser, token));
    if (token[0] != u'{') return kDispException;
    const char16_t* blockStart = parser.cursor;
    const HResult applied = ApplyRootBlock(parser, token, root, pass, skip);
    if (Failed(applied) && pass == WalkPass::kRegister && !skip) {
      parser.cursor = blockStart;
      ApplyRootBlock(parser, token, root, WalkPass::kUnregister, false);  // undo what can be undone; not reported
      // A user's registration stands without its machine-wide part (the shell's approval), which
      // only an administrator may write: the refusal is told by the result, S_FALSE.
      if (g_registerPerUser && root == kHkeyLocalMachine && applied == HresultFromWin32(kErrorAccessDenied)) {
        machinePartRefused = true;
        // On past the block, wherever the undo stopped (a key it may not remove either): the first
        // walk read it whole.
        parser.cursor = blockStart;
        TORVO_RETURN_IF_FAILED(ApplyRootBlock(parser, token, root, pass, true));
        SkipBlanks(parser);
        continue;
      }
    }
    TORVO_RETURN_IF_FAILED(applied);
    SkipBlanks(parser);
  }
  return machinePartRefused ? kFalse : kOk;
}

}  // namespace

HResult ApplyKeyBlock(CRegScriptParser& parser, TokenBuffer& token, RegKey parent, WalkPass pass, bool skip) {
  const BlockDepth depth(parser);
  if (depth.TooDeep()) return kDispException;
  TORVO_RETURN_IF_FAILED(ReadToken(parser, token));
  while (token[0] != u'}') {
    TORVO_RETURN_IF_FAILED(ApplyEntry(parser, token, parent, pass, skip));
  }
  return kOk;
}

HResult ApplyScript(CRegScriptParser& parser, const char16_t* text, WalkPass pass) {
  std::u16string expanded;
  TORVO_RETURN_IF_FAILED(ExpandScript(parser, text, &expanded));
  // The first walk only reads the script, so that one with an error anywhere is refused before
  // anything is written or deleted.
  HResult status = WalkRootBlocks(parser, expanded, pass, true);
  if (Succeeded(status)) status = WalkRootBlocks(parser, expanded, pass, false);
  parser.cursor = nullptr;
  return status;
}

}  // namespace torvo
