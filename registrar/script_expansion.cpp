#include "registrar/script_expansion.h"

#include <new>
#include <string_view>

#include "common/text.h"
#include "registrar/register_mode.h"
#include "registrar/substitution_map.h"

namespace torvo {

namespace {

// What a redirected HKCR block opens and closes with: HKCU { Software { Classes <the block> } }.
constexpr std::u16string_view kRedirectOpening = u"HKCU\r\n{\tSoftware\r\n\t{\r\n\t\tClasses";
constexpr std::u16string_view kRedirectClosing = u"\r\n\t}\r\n}\r\n";

bool StartsWithHkcr(const char16_t* at) {
  return at[0] == u'H' && at[1] == u'K' && at[2] == u'C' && at[3] == u'R';
}

// Tracks quotes and root-level braces of the text in per-user mode and rewrites HKCR blocks.
class PerUserRedirect {
 public:
  // Handles the unit under `cursor` (possibly moving it past "HKCR" or onto the second quote of
  // a doubled quote) and appends what comes before it.
  void Step(const char16_t*& cursor, std::u16string& out) {
    if (level_ == 0 && StartsWithHkcr(cursor)) {
      cursor += 4;
      out += kRedirectOpening;
      redirecting_ = true;
    }
    TrackQuote(cursor, out);
    if (!inQuotes_) CountBrace(*cursor, out);
  }

 private:
  void TrackQuote(const char16_t*& cursor, std::u16string& out) {
    if (*cursor != u'\'') return;
    if (!inQuotes_) {
      inQuotes_ = true;
    } else if (cursor[1] == u'\'') {
      ++cursor;  // a doubled quote: both halves reach the output, the second appended by the caller
      out += u'\'';
    } else {
      inQuotes_ = false;
    }
  }

  void CountBrace(char16_t unit, std::u16string& out) {
    if (unit == u'{') ++level_;
    if (unit != u'}') return;
    if (--level_ == 0 && redirecting_) {
      out += kRedirectClosing;  // the two added blocks close before the "}" of the HKCR block
      redirecting_ = false;
    }
  }

  int level_ = 0;
  bool redirecting_ = false;
  bool inQuotes_ = false;
};

// Appends the value of the variable that starts at `cursor` ("%") and moves the cursor onto its
// closing "%"; "%%" appends one "%".
HResult AppendVariable(const SubstitutionMap& map, const char16_t*& cursor, std::u16string& out) {
  if (cursor[1] == u'%') {
    out += u'%';
    ++cursor;
    return kOk;
  }
  const char16_t* close = cursor + 1;
  while (*close != u'\0' && *close != u'%') ++close;
  if (*close == u'\0') return kDispException;
  const std::u16string_view name(cursor + 1, static_cast<std::size_t>(close - cursor - 1));
  if (name.size() >= VARIABLE_NAME_BUFFER_CHARS) return kFail;
  const char16_t* value = FindSubstitution(map, name);
  if (value == nullptr) return kDispException;
  out += value;
  cursor = close;
  return kOk;
}

HResult Expand(const SubstitutionMap& map, const char16_t* text, std::u16string& out) {
  const std::size_t length = TextLength(text);
  out.reserve(length * 2 < 100 ? 1000 : length * 2);
  const bool perUser = g_registerPerUser;
  PerUserRedirect redirect;
  for (const char16_t* cursor = text; *cursor != u'\0'; ++cursor) {
    if (perUser) {
      redirect.Step(cursor, out);
      if (*cursor == u'\0') break;  // the text ended with "HKCR"
    }
    if (*cursor == u'%') {
      TORVO_RETURN_IF_FAILED(AppendVariable(map, cursor, out));
      continue;
    }
    out += *cursor;
  }
  return kOk;
}

}  // namespace

HResult ExpandScript(const CRegScriptParser& parser, const char16_t* text, std::u16string* expanded) {
  if (text == nullptr || expanded == nullptr) return kPointer;
  try {
    std::u16string out;
    TORVO_RETURN_IF_FAILED(Expand(parser.substitutions, text, out));
    *expanded = std::move(out);
    return kOk;
  } catch (const std::bad_alloc&) {
    return kOutOfMemory;
  }
}

}  // namespace torvo
