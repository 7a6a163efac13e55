#pragma once
// The state of one script application and the tokenizer that moves its cursor.
#include <array>
#include <string>
#include <vector>

#include "common/status.h"
#include "registrar/registry.h"
#include "registrar/registry_difference.h"
#include "registrar/script_tables.h"
#include "registrar/substitution_map.h"

namespace torvo {

using TokenBuffer = std::array<char16_t, TOKEN_BUFFER_CHARS>;

// One application of one script: the variables its expansion uses, the registry its walk changes,
// and a cursor into the expanded text. The cursor steps one UTF-16 code unit at a time.
class CRegScriptParser {
 public:
  CRegScriptParser(const SubstitutionMap& map, Registry& target) : substitutions(map), registry(target) {}
  CRegScriptParser(const CRegScriptParser&) = delete;
  CRegScriptParser& operator=(const CRegScriptParser&) = delete;

  const SubstitutionMap& substitutions;
  Registry& registry;
  const char16_t* cursor = nullptr;  // into null-terminated text; at its end when *cursor == 0
  int blockDepth = 0;                // blocks entered by the walk and not yet left

  // Scratch space of the walk: the name after "Val", and a value's type and text.
  TokenBuffer valueName{};
  TokenBuffer valueText{};

  // The check walk: the path of the key whose block is being walked, the length of its start that
  // names the outermost key the removal deletes (0: none on the path), and what it found.
  std::u16string keyPath;
  std::size_t ownedKeyLength = 0;
  std::vector<RegistryDifference> differences;
};

// Space, tab, line feed and carriage return.
constexpr bool IsBlank(char16_t unit) { return unit == u' ' || unit == u'\t' || unit == u'\n' || unit == u'\r'; }

// Moves the cursor past blanks.
void SkipBlanks(CRegScriptParser& parser);

// Skips blanks and reads one token into `token`, null-terminated, leaving the cursor behind it.
// A quoted token loses its quotes and has each doubled quote read as one. kDispException at the
// end of the text, for a quote that is never closed, and for a token of more than 4094 units.
HResult ReadToken(CRegScriptParser& parser, TokenBuffer& token);

// When `token` begins with "=": reads and drops the type token and the value token, then reads
// the next token into `token`. Otherwise does nothing.
HResult SkipValueSpec(CRegScriptParser& parser, TokenBuffer& token);

}  // namespace torvo
