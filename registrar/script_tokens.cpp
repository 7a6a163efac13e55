#include "registrar/script_tokens.h"

#include <cstddef>

namespace torvo {

namespace {

// Writes the token one code unit at a time, refusing any unit that would leave no room for the
// terminator before the buffer's last slot.
class TokenWriter {
 public:
  explicit TokenWriter(TokenBuffer& token) : token_(token) {}
  ~TokenWriter() { token_[written_] = u'\0'; }
  TokenWriter(const TokenWriter&) = delete;
  TokenWriter& operator=(const TokenWriter&) = delete;

  bool Append(char16_t unit) {
    if (written_ + 1 + 1 >= TOKEN_BUFFER_CHARS) return false;
    token_[written_++] = unit;
    return true;
  }

 private:
  TokenBuffer& token_;
  std::size_t written_ = 0;
};

HResult ReadQuotedToken(const char16_t*& cursor, TokenWriter& writer) {
  ++cursor;  // the opening quote
  while (*cursor != u'\0') {
    if (cursor[0] == u'\'' && cursor[1] != u'\'') break;  // the closing quote
    if (cursor[0] == u'\'') ++cursor;                     // the first of a doubled quote
    if (!writer.Append(*cursor)) return kDispException;
    ++cursor;
  }
  if (*cursor == u'\0') return kDispException;
  ++cursor;
  return kOk;
}

HResult ReadPlainToken(const char16_t*& cursor, TokenWriter& writer) {
  for (; *cursor != u'\0' && !IsBlank(*cursor); ++cursor) {
    if (!writer.Append(*cursor)) return kDispException;
  }
  return kOk;
}

}  // namespace

void SkipBlanks(CRegScriptParser& parser) {
  while (IsBlank(*parser.cursor)) ++parser.cursor;
}

HResult ReadToken(CRegScriptParser& parser, TokenBuffer& token) {
  SkipBlanks(parser);
  if (*parser.cursor == u'\0') {
    token[0] = u'\0';
    return kDispException;
  }
  TokenWriter writer(token);
  if (*parser.cursor == u'\'') return ReadQuotedToken(parser.cursor, writer);
  return ReadPlainToken(parser.cursor, writer);
}

HResult SkipValueSpec(CRegScriptParser& parser, TokenBuffer& token) {
  if (token[0] != u'=') return kOk;
  TORVO_RETURN_IF_FAILED(ReadToken(parser, token));
  SkipBlanks(parser);
  TORVO_RETURN_IF_FAILED(ReadToken(parser, parser.valueText));
  return ReadToken(parser, token);
}

}  // namespace torvo
