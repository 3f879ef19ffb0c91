#include "db/embedded/parser/tsql_tokenizer.h"

#include <cctype>

#include "db/errors.h"
#include "db/server_messages.h"

namespace moltaro::db::embedded {

namespace {

bool IsNameStart(unsigned char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_' || c == '#' || c >= 0x80;
}
bool IsNameChar(unsigned char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9') || c == '$' || c == '@';
}
bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Reads a run closed by `close` where a doubled closing character stands for
// one; `i` points just after the opening character.
std::string ReadQuoted(std::string_view sql, std::size_t& i, char close, std::size_t start) {
  std::string out;
  while (true) {
    if (i >= sql.size()) throw ServerErrorByNumber(105, {sql.substr(start + 1)});
    const char c = sql[i++];
    if (c == close) {
      if (i < sql.size() && sql[i] == close) {
        out += close;
        ++i;
        continue;
      }
      return out;
    }
    out += c;
  }
}

std::size_t ReadNumber(std::string_view sql, std::size_t i) {
  while (i < sql.size() && IsDigit(sql[i])) ++i;
  if (i < sql.size() && sql[i] == '.') {
    ++i;
    while (i < sql.size() && IsDigit(sql[i])) ++i;
  }
  if (i < sql.size() && (sql[i] == 'e' || sql[i] == 'E')) {
    std::size_t j = i + 1;
    if (j < sql.size() && (sql[j] == '+' || sql[j] == '-')) ++j;
    if (j < sql.size() && IsDigit(sql[j])) {
      i = j;
      while (i < sql.size() && IsDigit(sql[i])) ++i;
    }
  }
  return i;
}

}  // namespace

bool IsWord(const Token& token, std::string_view keyword) {
  if (token.kind != TokenKind::Word || token.text.size() != keyword.size()) return false;
  for (std::size_t i = 0; i < keyword.size(); ++i) {
    char a = token.text[i];
    char b = keyword[i];
    if (a >= 'a' && a <= 'z') a = static_cast<char>(a - 32);
    if (b >= 'a' && b <= 'z') b = static_cast<char>(b - 32);
    if (a != b) return false;
  }
  return true;
}

std::vector<Token> Tokenize(std::string_view sql) {
  std::vector<Token> tokens;
  std::size_t i = 0;
  while (i < sql.size()) {
    const unsigned char c = static_cast<unsigned char>(sql[i]);
    if (c <= ' ') {
      ++i;
      continue;
    }
    if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      while (i < sql.size() && sql[i] != '\n') ++i;
      continue;
    }
    if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
      // T-SQL block comments nest.
      int depth = 0;
      do {
        if (sql.compare(i, 2, "/*") == 0) {
          ++depth;
          i += 2;
        } else if (sql.compare(i, 2, "*/") == 0) {
          --depth;
          i += 2;
        } else {
          ++i;
        }
      } while (depth > 0 && i < sql.size());
      if (depth > 0) throw ServerErrorByNumber(113);
      continue;
    }
    Token t;
    t.offset = i;
    if ((c == 'N' || c == 'n') && i + 1 < sql.size() && sql[i + 1] == '\'') {
      i += 2;
      t.kind = TokenKind::String;
      t.national = true;
      t.text = ReadQuoted(sql, i, '\'', t.offset + 1);
    } else if (c == '\'') {
      ++i;
      t.kind = TokenKind::String;
      t.text = ReadQuoted(sql, i, '\'', t.offset);
    } else if (c == '[') {
      ++i;
      t.kind = TokenKind::Quoted;
      t.text = ReadQuoted(sql, i, ']', t.offset);
    } else if (c == '"') {
      ++i;
      t.kind = TokenKind::Quoted;
      t.text = ReadQuoted(sql, i, '"', t.offset);
    } else if (c == '0' && i + 1 < sql.size() && (sql[i + 1] == 'x' || sql[i + 1] == 'X')) {
      // A binary constant: 0x followed by any number of hex digits.
      std::size_t end = i + 2;
      while (end < sql.size() && std::isxdigit(static_cast<unsigned char>(sql[end]))) ++end;
      t.kind = TokenKind::Number;
      t.text = std::string(sql.substr(i, end - i));
      i = end;
    } else if (IsDigit(static_cast<char>(c)) ||
               (c == '.' && i + 1 < sql.size() && IsDigit(sql[i + 1]))) {
      const std::size_t end = ReadNumber(sql, i);
      t.kind = TokenKind::Number;
      t.text = std::string(sql.substr(i, end - i));
      i = end;
    } else if (c == ':' && i + 1 < sql.size() &&
               IsNameStart(static_cast<unsigned char>(sql[i + 1])) && sql[i + 1] != '#') {
      std::size_t end = i + 1;
      while (end < sql.size() && IsNameChar(static_cast<unsigned char>(sql[end])) &&
             sql[end] != '@' && sql[end] != '$')
        ++end;
      t.kind = TokenKind::Parameter;
      t.text = std::string(sql.substr(i + 1, end - i - 1));
      i = end;
    } else if (c == '@') {
      std::size_t end = i + 1;
      if (end < sql.size() && sql[end] == '@') ++end;
      while (end < sql.size() && IsNameChar(static_cast<unsigned char>(sql[end]))) ++end;
      t.kind = TokenKind::Variable;
      t.text = std::string(sql.substr(i, end - i));
      i = end;
    } else if (IsNameStart(c)) {
      std::size_t end = i + 1;
      while (end < sql.size() && IsNameChar(static_cast<unsigned char>(sql[end]))) ++end;
      t.kind = TokenKind::Word;
      t.text = std::string(sql.substr(i, end - i));
      i = end;
    } else {
      t.kind = TokenKind::Symbol;
      static constexpr std::string_view kTwo[] = {"<>", "!=", "<=", ">=", "!<", "!>",
                                                  "+=", "-=", "*=", "/=", "::"};
      bool two = false;
      for (std::string_view op : kTwo) {
        if (sql.compare(i, 2, op) == 0) {
          t.text = std::string(op);
          i += 2;
          two = true;
          break;
        }
      }
      if (!two) {
        t.text = std::string(1, static_cast<char>(c));
        ++i;
      }
    }
    t.end = i;
    tokens.push_back(std::move(t));
  }
  Token end;
  end.kind = TokenKind::End;
  end.offset = sql.size();
  end.end = sql.size();
  tokens.push_back(end);
  return tokens;
}

}  // namespace moltaro::db::embedded
