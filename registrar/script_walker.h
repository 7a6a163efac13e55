#pragma once
// The walk of an expanded script against the registry, in the register or the unregister pass.
#include <cstdint>

#include "common/status.h"
#include "registrar/registry.h"
#include "registrar/script_tokens.h"

namespace torvo {

// Blocks nest at most this deep below their root key, as deep as the registry's own keys go.
inline constexpr int kMaxBlockDepth = 512;

// Expands `text` with the parser's variables and applies each root block in turn. In the register
// pass a failing root block is walked again in the unregister pass from its start, and the first
// failure is returned; blocks before it stay applied, later ones are not touched. In the
// unregister pass the first failure ends the walk.
HResult ApplyScript(CRegScriptParser& parser, const char16_t* text, bool registerFlag);

// Walks one block body whose "{" has just been read, below the key `parent`. In skip mode
// (unregister pass only) the block is parsed and nothing in the registry is touched. On success
// `token` holds the "}" that closed the block.
HResult ApplyKeyBlock(CRegScriptParser& parser, TokenBuffer& token, RegKey parent, bool registerFlag, bool skip);

// Called with "=" in `token`: reads a type letter and a value text, writes the value `name` of
// `key` (null: the default value) and reads the token after it into `token`.
// kDispException for an unknown type letter, kFail for an odd number of binary digits, the
// conversion's failure for a "D" text that is no 32-bit number, else the registry's answer.
HResult WriteValue(CRegScriptParser& parser, RegKey key, const char16_t* name, TokenBuffer& token);

// Deletes the subkey `name` of `parent` with everything below it: 0 or a Win32 code.
std::int32_t DeleteKeyTree(Registry& registry, RegKey parent, const char16_t* name);

// Deletes the subkey `name` of `parent`, which must have no subkeys: 0 or a Win32 code.
std::int32_t RemoveRegistryKey(Registry& registry, RegKey parent, const char16_t* name);

// Whether the key has a subkey; a key whose count cannot be read has none.
bool KeyHasChildren(Registry& registry, RegKey key);

}  // namespace torvo
