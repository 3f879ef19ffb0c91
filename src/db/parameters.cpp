#include "db/parameters.h"

namespace moltaro::db {

namespace {
bool IsNameStart(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
bool IsNameChar(char c) {
  return IsNameStart(c) || (c >= '0' && c <= '9');
}

// Copies a quoted run (literal, quoted identifier or bracketed name) whose
// opening character is at `i`; the closing character doubled stands for one.
void CopyQuoted(std::string_view sql, std::size_t& i, char close, std::string& out) {
  out += sql[i++];
  while (i < sql.size()) {
    const char c = sql[i++];
    out += c;
    if (c == close) {
      if (i < sql.size() && sql[i] == close) {
        out += sql[i++];
        continue;
      }
      return;
    }
  }
}
}  // namespace

MarkedStatement MarkParameters(std::string_view sql) {
  MarkedStatement out;
  out.text.reserve(sql.size());
  std::size_t i = 0;
  while (i < sql.size()) {
    const char c = sql[i];
    if (c == '\'') {
      CopyQuoted(sql, i, '\'', out.text);
    } else if (c == '"') {
      CopyQuoted(sql, i, '"', out.text);
    } else if (c == '[') {
      CopyQuoted(sql, i, ']', out.text);
    } else if (c == '-' && i + 1 < sql.size() && sql[i + 1] == '-') {
      const std::size_t end = sql.find('\n', i);
      const std::size_t stop = end == std::string_view::npos ? sql.size() : end;
      out.text.append(sql.substr(i, stop - i));
      i = stop;
    } else if (c == '/' && i + 1 < sql.size() && sql[i + 1] == '*') {
      const std::size_t end = sql.find("*/", i + 2);
      const std::size_t stop = end == std::string_view::npos ? sql.size() : end + 2;
      out.text.append(sql.substr(i, stop - i));
      i = stop;
    } else if (c == ':' && i + 1 < sql.size() && sql[i + 1] == ':') {
      out.text += "::";
      i += 2;
    } else if (c == ':' && i + 1 < sql.size() && IsNameStart(sql[i + 1])) {
      std::size_t end = i + 1;
      while (end < sql.size() && IsNameChar(sql[end])) ++end;
      out.names.emplace_back(sql.substr(i + 1, end - i - 1));
      out.text += '?';
      i = end;
    } else {
      out.text += c;
      ++i;
    }
  }
  return out;
}

}  // namespace moltaro::db
