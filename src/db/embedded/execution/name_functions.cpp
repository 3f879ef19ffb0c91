#include "db/embedded/execution/name_functions.h"

#include <sqlite3.h>

#include <cctype>
#include <vector>

#include "db/embedded/storage/sqlite_values.h"

namespace moltaro::db::embedded {

namespace {

// The parts of a dotted name, from the left; nullopt when it is not one.
// A part is bare, [bracketed] (]] for a ]) or "quoted" ("" for a ").
std::optional<std::vector<std::string>> NameParts(std::string_view name) {
  std::vector<std::string> parts(1);
  std::size_t i = 0;
  while (i < name.size()) {
    const char c = name[i];
    if (c == '.') {
      parts.emplace_back();
      ++i;
      continue;
    }
    if ((c == '[' || c == '"') && parts.back().empty()) {
      const char close = c == '[' ? ']' : '"';
      std::string part;
      ++i;
      bool closed = false;
      while (i < name.size()) {
        if (name[i] == close) {
          if (i + 1 < name.size() && name[i + 1] == close) {
            part += close;
            i += 2;
            continue;
          }
          closed = true;
          ++i;
          break;
        }
        part += name[i++];
      }
      if (!closed || part.empty() || (i < name.size() && name[i] != '.')) return std::nullopt;
      parts.back() = part;
      continue;
    }
    parts.back() += c;
    ++i;
  }
  if (parts.size() > 4) return std::nullopt;
  return parts;
}

char SoundexDigit(char upper) {
  switch (upper) {
    case 'B':
    case 'F':
    case 'P':
    case 'V':
      return '1';
    case 'C':
    case 'G':
    case 'J':
    case 'K':
    case 'Q':
    case 'S':
    case 'X':
    case 'Z':
      return '2';
    case 'D':
    case 'T':
      return '3';
    case 'L':
      return '4';
    case 'M':
    case 'N':
      return '5';
    case 'R':
      return '6';
    default:
      return '0';  // vowels, H, W, Y
  }
}

bool IsAsciiLetter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}

void ParseNameFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  const auto part = ParseNamePart(ArgText(argv[0]), sqlite3_value_int64(argv[1]));
  if (!part) {
    sqlite3_result_null(ctx);
    return;
  }
  sqlite3_result_text(ctx, part->data(), static_cast<int>(part->size()), SQLITE_TRANSIENT);
}

void SoundexFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  const std::string code = SoundexCode(ArgText(argv[0]));
  sqlite3_result_text(ctx, code.data(), static_cast<int>(code.size()), SQLITE_TRANSIENT);
}

void DifferenceFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || sqlite3_value_type(argv[1]) == SQLITE_NULL) {
    sqlite3_result_null(ctx);
    return;
  }
  sqlite3_result_int(ctx, SoundexDifference(ArgText(argv[0]), ArgText(argv[1])));
}

}  // namespace

std::optional<std::string> ParseNamePart(std::string_view name, long long piece) {
  if (piece < 1 || piece > 4) return std::nullopt;
  const auto parts = NameParts(name);
  if (!parts || static_cast<std::size_t>(piece) > parts->size()) return std::nullopt;
  const std::string& part = (*parts)[parts->size() - static_cast<std::size_t>(piece)];
  if (part.empty()) return std::nullopt;
  return part;
}

std::string SoundexCode(std::string_view text) {
  std::string code;
  char last = '0';
  for (const char raw : text) {
    if (!IsAsciiLetter(raw)) break;
    const char c = static_cast<char>(std::toupper(static_cast<unsigned char>(raw)));
    const char digit = SoundexDigit(c);
    if (code.empty()) {
      code += c;
      last = digit;
      continue;
    }
    // H and W do not part two consonants of one digit; vowels do.
    if (c == 'H' || c == 'W') continue;
    if (digit != '0' && digit != last) code += digit;
    last = digit;
    if (code.size() == 4) break;
  }
  if (code.empty()) return "0000";
  code.resize(4, '0');
  return code;
}

int SoundexDifference(std::string_view a, std::string_view b) {
  const std::string ca = SoundexCode(a), cb = SoundexCode(b);
  int same = 0;
  for (std::size_t i = 0; i < 4; ++i) same += ca[i] == cb[i] ? 1 : 0;
  return same;
}

void RegisterNameFunctions(sqlite3* db) {
  RegisterScalar(db, "tsql_parsename", 2, ParseNameFn);
  RegisterScalar(db, "tsql_soundex", 1, SoundexFn);
  RegisterScalar(db, "tsql_difference", 2, DifferenceFn);
}

}  // namespace moltaro::db::embedded
