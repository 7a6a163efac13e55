#include "registrar/script_walker.h"

#include <new>
#include <string>
#include <string_view>

#include "registrar/scoped_key.h"
#include "registrar/script_expansion.h"
#include "registrar/script_tables.h"

namespace torvo {

namespace {

std::u16string_view View(const TokenBuffer& token) { return token.data(); }

bool IsBlockStart(const TokenBuffer& token) { return token[0] == u'{' && token[1] == u'\0'; }

bool HasBackslash(const TokenBuffer& token) { return View(token).find(u'\\') != std::u16string_view::npos; }

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
HResult ClearForcedKey(CRegScriptParser& parser, RegKey parent, const TokenBuffer& token) {
  if (HasBackslash(token)) return kDispException;
  if (!IsNeverDeleteKey(View(token))) DeleteKeyTree(parser.registry, parent, token.data());
  return kOk;
}

// After "Delete X" in the register pass: nothing is written, a value spec is passed over, and the
// entry has no block.
HResult FinishDeleteEntry(CRegScriptParser& parser, TokenBuffer& token) {
  TORVO_RETURN_IF_FAILED(ReadToken(parser, token));
  TORVO_RETURN_IF_FAILED(SkipValueSpec(parser, token));
  return IsBlockStart(token) ? kDispException : kOk;
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
HResult ApplyValueEntry(CRegScriptParser& parser, TokenBuffer& token, RegKey parent, bool registerFlag,
                        bool skip, bool removable) {
  TORVO_RETURN_IF_FAILED(ReadToken(parser, parser.valueName));
  TORVO_RETURN_IF_FAILED(ReadToken(parser, token));
  if (token[0] != u'=') return kDispException;
  if (registerFlag) {
    TORVO_RETURN_IF_FAILED(WriteValue(parser, parent, parser.valueName.data(), token));
  } else {
    if (!skip && removable) TORVO_RETURN_IF_FAILED(DeleteNamedValue(parser.registry, parent, parser.valueName.data()));
    TORVO_RETURN_IF_FAILED(SkipValueSpec(parser, token));
  }
  return IsBlockStart(token) ? kDispException : kOk;  // a value has no block of its own
}

// Register pass of key entry X, `token` holding X: open X for reading and writing, else for
// reading, else create it; write its default value; apply its block.
HResult RegisterKeyEntry(CRegScriptParser& parser, TokenBuffer& token, RegKey parent) {
  if (HasBackslash(token)) return kDispException;
  Registry& registry = parser.registry;
  RegKey handle = 0;
  if (registry.OpenKey(parent, token.data(), kKeyReadWrite, &handle) != 0 &&
      registry.OpenKey(parent, token.data(), kKeyRead, &handle) != 0) {
    const std::int32_t created = registry.CreateKey(parent, token.data(), kKeyReadWrite, &handle);
    if (created != 0) return HresultFromWin32(created);
  }
  ScopedKey key(registry, handle);
  TORVO_RETURN_IF_FAILED(ReadToken(parser, token));
  if (token[0] == u'=') TORVO_RETURN_IF_FAILED(WriteValue(parser, key.Get(), nullptr, token));
  if (!IsBlockStart(token)) return kOk;
  TORVO_RETURN_IF_FAILED(ApplyKeyBlock(parser, token, key.Get(), true, false));
  return ReadToken(parser, token);
}

// Unregister pass of key entry X, `token` holding X: walk X's block, then delete X when it is
// removable and has no subkeys left. A missing X is no error; its block is only parsed.
HResult UnregisterKeyEntry(CRegScriptParser& parser, TokenBuffer& token, RegKey parent, bool skip,
                           bool removable) {
  if (HasBackslash(token)) return kDispException;
  Registry& registry = parser.registry;
  RegKey handle = 0;
  const std::int32_t opened = skip ? kErrorFileNotFound : registry.OpenKey(parent, token.data(), kKeyRead, &handle);
  ScopedKey key(registry, opened == 0 ? handle : 0);
  const std::u16string name(View(token));
  TORVO_RETURN_IF_FAILED(ReadToken(parser, token));
  TORVO_RETURN_IF_FAILED(SkipValueSpec(parser, token));  // a default value goes with its key
  if (IsBlockStart(token)) {
    // A failure in a skipped block can only be a syntax error: it is reported, not passed over.
    TORVO_RETURN_IF_FAILED(ApplyKeyBlock(parser, token, key.Get(), false, opened != 0));
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
HResult ApplyEntry(CRegScriptParser& parser, TokenBuffer& token, RegKey parent, bool registerFlag, bool skip) {
  const bool deleting = IsKeyword(View(token), kKeywordDelete);
  if (deleting || IsKeyword(View(token), kKeywordForceRemove)) {
    TORVO_RETURN_IF_FAILED(ReadToken(parser, token));
    if (registerFlag) {
      TORVO_RETURN_IF_FAILED(ClearForcedKey(parser, parent, token));
      if (deleting) return FinishDeleteEntry(parser, token);
    }
  }
  bool removable = true;
  if (IsKeyword(View(token), kKeywordNoRemove)) {
    removable = false;
    TORVO_RETURN_IF_FAILED(ReadToken(parser, token));
  }
  if (IsKeyword(View(token), kKeywordVal)) {
    return ApplyValueEntry(parser, token, parent, registerFlag, skip, removable);
  }
  if (registerFlag) return RegisterKeyEntry(parser, token, parent);
  return UnregisterKeyEntry(parser, token, parent, skip, removable);
}

// One root block whose "{" has just been read; running out of memory fails it like any error.
HResult ApplyRootBlock(CRegScriptParser& parser, TokenBuffer& token, RegKey root, bool registerFlag) {
  try {
    return ApplyKeyBlock(parser, token, root, registerFlag, false);
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
}

HResult WalkRootBlocks(CRegScriptParser& parser, bool registerFlag) {
  TokenBuffer token{};
  while (*parser.cursor != u'\0') {
    TORVO_RETURN_IF_FAILED(ReadToken(parser, token));
    const RegKey root = LookupRootKey(View(token));
    if (root == 0) return kDispException;
    TORVO_RETURN_IF_FAILED(ReadToken(parser, token));
    if (token[0] != u'{') return kDispException;
    const char16_t* blockStart = parser.cursor;
    const HResult applied = ApplyRootBlock(parser, token, root, registerFlag);
    if (Failed(applied) && registerFlag) {
      parser.cursor = blockStart;
      ApplyRootBlock(parser, token, root, false);  // undo what can be undone; the result is not reported
    }
    TORVO_RETURN_IF_FAILED(applied);
    SkipBlanks(parser);
  }
  return kOk;
}

}  // namespace

HResult ApplyKeyBlock(CRegScriptParser& parser, TokenBuffer& token, RegKey parent, bool registerFlag, bool skip) {
  const BlockDepth depth(parser);
  if (depth.TooDeep()) return kDispException;
  TORVO_RETURN_IF_FAILED(ReadToken(parser, token));
  while (token[0] != u'}') {
    TORVO_RETURN_IF_FAILED(ApplyEntry(parser, token, parent, registerFlag, skip));
  }
  return kOk;
}

HResult ApplyScript(CRegScriptParser& parser, const char16_t* text, bool registerFlag) {
  std::u16string expanded;
  TORVO_RETURN_IF_FAILED(ExpandScript(parser, text, &expanded));
  parser.cursor = expanded.c_str();
  parser.blockDepth = 0;
  const HResult status = WalkRootBlocks(parser, registerFlag);
  parser.cursor = nullptr;
  return status;
}

}  // namespace torvo
