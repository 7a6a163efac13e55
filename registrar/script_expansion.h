#pragma once
// The expansion pass: %NAME% variables filled in and, in per-user mode, HKCR blocks moved under
// HKCU\Software\Classes, before the text is tokenized.
#include <string>

#include "common/status.h"
#include "registrar/script_tokens.h"

namespace torvo {

// Expands the null-terminated `text` with the parser's variables into `expanded`.
// "%%" stands for one "%"; %NAME% is replaced by the first variable of that name (any case),
// inside quoted tokens too, and the value is not scanned again for variables or "HKCR".
// With g_registerPerUser set, every "HKCR" (this exact case) that starts a root block becomes a
// block of HKCU around Software { Classes { ... } }. The end of that block is found by counting
// the braces outside quoted tokens, with quotes read as the tokenizer will read the expanded text
// (a quote inside a name, as in O'Brien, opens nothing).
// kPointer without text or result place; kDispException for a "%" that is never closed or a name
// not in the map; kFail for a name of more than 31 units; kOutOfMemory. On failure `expanded` is
// left as it was.
HResult ExpandScript(const CRegScriptParser& parser, const char16_t* text, std::u16string* expanded);

}  // namespace torvo
