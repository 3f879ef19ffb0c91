// Splits T-SQL text into tokens. Comments and white space are dropped; every
// token remembers where it started so errors can name it.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace moltaro::db::embedded {

enum class TokenKind {
  Word,       // identifier or keyword, as written
  Quoted,     // [name] or "name": text holds the name without its quotes
  String,     // 'text' or N'text': text holds the value, quotes undoubled
  Number,     // 12, 1.5, .5, 1e3, 0x1F (binary, as written)
  Parameter,  // :name (text holds the name without the colon)
  Variable,   // @name or @@name (text holds it with the at signs)
  Symbol,     // operators and punctuation: ( ) , . ; = <> != < > <= >= + - * / % & | ^ ~
  End,
};

struct Token {
  TokenKind kind = TokenKind::End;
  std::string text;
  std::size_t offset = 0;  // byte offset in the source
  std::size_t end = 0;     // byte offset just past the token
  bool national = false;   // N'…' literal
};

// Throws DatabaseError ("Unclosed quotation mark …") for unterminated literals
// and names.
std::vector<Token> Tokenize(std::string_view sql);

// Case-insensitive comparison of a Word token with a keyword (ASCII).
bool IsWord(const Token& token, std::string_view keyword);

}  // namespace moltaro::db::embedded
