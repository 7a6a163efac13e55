#include "registrar/script_expansion.h"

#include <new>
#include <string_view>

#include "common/text.h"
#include "registrar/register_mode.h"
#include "registrar/substitution_map.h"

namespace torvo {

namespace {

// What a redirected HKCR block opens and closes with: HKCU { NoRemove Software { NoRemove Classes
// <the block> } }. The user's Software and Classes keys hold everything else of theirs: no removal
// of ours deletes them, and none is ours.
constexpr std::u16string_view kRedirectOpening = u"HKCU\r\n{\tNoRemove Software\r\n\t{\r\n\t\tNoRemove Classes";
constexpr std::u16string_view kRedirectClosing = u"\r\n\t}\r\n}\r\n";

bool StartsWithHkcr(const char16_t* at) { return at[0] == u'H' && at[1] == u'K' && at[2] == u'C' && at[3] == u'R'; }

// The expanded text as it is built. In per-user mode it follows the text as the tokenizer will
// read it (a quote opens a quoted token only where a token starts; inside one, a doubled quote
// stands for a quote) and counts the braces outside quoted tokens, to move each HKCR block under
// HKCU\Software\Classes.
class ExpandedText {
 public:
  ExpandedText(std::u16string& out, bool perUser) : out_(out), perUser_(perUser) {}

  // At "HKCR" outside every block in per-user mode: appends the opening of the redirection in
  // its place and moves the cursor past it.
  void RedirectAt(const char16_t*& cursor) {
    if (!perUser_ || level_ != 0 || !StartsWithHkcr(cursor)) return;
    cursor += 4;
    AppendUncounted(kRedirectOpening);
    redirecting_ = true;
  }

  // Appends one unit; the "}" that closes a redirected block gets the two added closing braces
  // before it.
  void Append(char16_t unit) {
    if (perUser_ && Follow(unit)) CountBrace(unit);
    out_ += unit;
  }

 private:
  // Where the tokenizer stands after the units so far.
  enum class Lexeme { kBetweenTokens, kPlainToken, kQuotedToken, kQuoteInQuotedToken };

  // Moves past `unit` as the tokenizer does; whether the unit lies outside quoted tokens.
  bool Follow(char16_t unit) {
    switch (lexeme_) {
      case Lexeme::kQuotedToken:
        if (unit == u'\'') lexeme_ = Lexeme::kQuoteInQuotedToken;  // closing, unless a second follows
        return false;
      case Lexeme::kQuoteInQuotedToken:
        if (unit == u'\'') {
          lexeme_ = Lexeme::kQuotedToken;  // a doubled quote
          return false;
        }
        lexeme_ = Lexeme::kBetweenTokens;  // the quote before closed the token
        break;
      case Lexeme::kBetweenTokens:
      case Lexeme::kPlainToken:
        break;
    }
    if (IsBlank(unit)) {
      lexeme_ = Lexeme::kBetweenTokens;
    } else if (lexeme_ == Lexeme::kBetweenTokens && unit == u'\'') {
      lexeme_ = Lexeme::kQuotedToken;
      return false;
    } else {
      lexeme_ = Lexeme::kPlainToken;  // a quote inside a plain token, as in O'Brien, is a plain unit
    }
    return true;
  }

  void CountBrace(char16_t unit) {
    if (unit == u'{') ++level_;
    if (unit != u'}') return;
    if (--level_ == 0 && redirecting_) {
      AppendUncounted(kRedirectClosing);  // the two added blocks close before the "}" of the HKCR block
      redirecting_ = false;
    }
  }

  // The redirection's own text: the tokenizer reads it too, but its braces are not the script's.
  void AppendUncounted(std::u16string_view units) {
    for (const char16_t unit : units) Follow(unit);
    out_ += units;
  }

  std::u16string& out_;
  const bool perUser_;
  Lexeme lexeme_ = Lexeme::kBetweenTokens;
  int level_ = 0;
  bool redirecting_ = false;
};

// Appends the value of the variable that starts at `cursor` ("%") and moves the cursor onto its
// closing "%"; "%%" appends one "%". The value is not scanned for variables or "HKCR".
HResult AppendVariable(const SubstitutionMap& map, const char16_t*& cursor, ExpandedText& out) {
  if (cursor[1] == u'%') {
    out.Append(u'%');
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
  for (; *value != u'\0'; ++value) out.Append(*value);
  cursor = close;
  return kOk;
}

HResult Expand(const SubstitutionMap& map, const char16_t* text, std::u16string& out) {
  const std::size_t length = TextLength(text);
  out.reserve(length * 2 < 100 ? 1000 : length * 2);
  ExpandedText expanded(out, g_registerPerUser);
  for (const char16_t* cursor = text; *cursor != u'\0'; ++cursor) {
    expanded.RedirectAt(cursor);
    if (*cursor == u'\0') break;  // the text ended with "HKCR"
    if (*cursor == u'%') {
      TORVO_RETURN_IF_FAILED(AppendVariable(map, cursor, expanded));
      continue;
    }
    expanded.Append(*cursor);
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
