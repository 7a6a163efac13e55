#pragma once
// The walk of an expanded script against the registry, in one pass: register, unregister or check.
#include <cstdint>

#include "common/status.h"
#include "registrar/registry.h"
#include "registrar/script_tokens.h"

namespace torvo {

// Blocks nest at most this deep below their root key, as deep as the registry's own keys go.
inline constexpr int kMaxBlockDepth = 512;

// What a walk does with the keys and values a script names.
enum class WalkPass {
  kRegister,    // creates keys and writes values
  kUnregister,  // removes them, sparing what is marked NoRemove and keys that still have subkeys
  // Writes nothing and opens keys for reading only: each key and value the register pass would write
  // is compared with the registry, and each difference is appended to the parser's differences. A
  // missing key is one difference; what its block writes is then not looked for. "Delete" entries
  // write nothing and are passed over; ForceRemove is no difference, keys and values the script does
  // not name are not looked at.
  kCheck,
};

// Expands `text` with the parser's variables, reads the whole script once without touching the
// registry (so that an error anywhere in it changes nothing), then applies each root block in
// turn. In the register pass a root block that fails at the registry is walked again in the
// unregister pass from its start, and the first failure is returned; blocks before it stay
// applied, later ones are not touched. In per-user mode an HKLM block refused for access is the
// exception: it is undone, the walk goes on, and the result is kFalse. In the other passes the first failure ends the
// walk; a key that exists but cannot be opened for reading fails the check with its error.
HResult ApplyScript(CRegScriptParser& parser, const char16_t* text, WalkPass pass);

// Walks one block body whose "{" has just been read, below the key `parent`. In skip mode the
// block is only read, as `pass` reads it, and nothing in the registry is touched. On success
// `token` holds the "}" that closed the block.
HResult ApplyKeyBlock(CRegScriptParser& parser, TokenBuffer& token, RegKey parent, WalkPass pass, bool skip);

// Called once "=" has been read: reads a type letter and a value text and encodes the value; the
// registry is not touched (its number conversion aside). kDispException for an unknown type
// letter, kFail for an odd number of binary digits, the conversion's failure for a "D" text that
// is no 32-bit number.
HResult ReadValue(CRegScriptParser& parser, EncodedValue& value);

// Called with "=" in `token`: reads a value with ReadValue, writes it as the value `name` of `key`
// (null: the default value) and reads the token after it into `token`. ReadValue's failures, else
// the registry's answer; after a failed write nothing more is read.
HResult WriteValue(CRegScriptParser& parser, RegKey key, const char16_t* name, TokenBuffer& token);

// Deletes the subkey `name` of `parent` with everything below it: 0 or a Win32 code.
std::int32_t DeleteKeyTree(Registry& registry, RegKey parent, const char16_t* name);

// Deletes the subkey `name` of `parent`, which must have no subkeys: 0 or a Win32 code.
std::int32_t RemoveRegistryKey(Registry& registry, RegKey parent, const char16_t* name);

// Whether the key has a subkey; a key whose count cannot be read has none.
bool KeyHasChildren(Registry& registry, RegKey key);

}  // namespace torvo
