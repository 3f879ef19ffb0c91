#include "instances/sql_names.h"

#include <algorithm>
#include <array>
#include <cstdint>

#include "common/text.h"

namespace moltaro::instances {

std::string DoubleQuotes(std::string_view text) {
  return ReplaceAll(text, "'", "''");
}

std::string QuoteLiteral(std::string_view text) {
  return "'" + DoubleQuotes(text) + "'";
}

namespace {

// Transact-SQL reserved keywords, upper case, sorted.
constexpr std::array<std::string_view, 185> kReserved = {
    "ADD",
    "ALL",
    "ALTER",
    "AND",
    "ANY",
    "AS",
    "ASC",
    "AUTHORIZATION",
    "BACKUP",
    "BEGIN",
    "BETWEEN",
    "BREAK",
    "BROWSE",
    "BULK",
    "BY",
    "CASCADE",
    "CASE",
    "CHECK",
    "CHECKPOINT",
    "CLOSE",
    "CLUSTERED",
    "COALESCE",
    "COLLATE",
    "COLUMN",
    "COMMIT",
    "COMPUTE",
    "CONSTRAINT",
    "CONTAINS",
    "CONTAINSTABLE",
    "CONTINUE",
    "CONVERT",
    "CREATE",
    "CROSS",
    "CURRENT",
    "CURRENT_DATE",
    "CURRENT_TIME",
    "CURRENT_TIMESTAMP",
    "CURRENT_USER",
    "CURSOR",
    "DATABASE",
    "DBCC",
    "DEALLOCATE",
    "DECLARE",
    "DEFAULT",
    "DELETE",
    "DENY",
    "DESC",
    "DISK",
    "DISTINCT",
    "DISTRIBUTED",
    "DOUBLE",
    "DROP",
    "DUMP",
    "ELSE",
    "END",
    "ERRLVL",
    "ESCAPE",
    "EXCEPT",
    "EXEC",
    "EXECUTE",
    "EXISTS",
    "EXIT",
    "EXTERNAL",
    "FETCH",
    "FILE",
    "FILLFACTOR",
    "FOR",
    "FOREIGN",
    "FREETEXT",
    "FREETEXTTABLE",
    "FROM",
    "FULL",
    "FUNCTION",
    "GOTO",
    "GRANT",
    "GROUP",
    "HAVING",
    "HOLDLOCK",
    "IDENTITY",
    "IDENTITYCOL",
    "IDENTITY_INSERT",
    "IF",
    "IN",
    "INDEX",
    "INNER",
    "INSERT",
    "INTERSECT",
    "INTO",
    "IS",
    "JOIN",
    "KEY",
    "KILL",
    "LEFT",
    "LIKE",
    "LINENO",
    "LOAD",
    "MERGE",
    "NATIONAL",
    "NOCHECK",
    "NONCLUSTERED",
    "NOT",
    "NULL",
    "NULLIF",
    "OF",
    "OFF",
    "OFFSETS",
    "ON",
    "OPEN",
    "OPENDATASOURCE",
    "OPENQUERY",
    "OPENROWSET",
    "OPENXML",
    "OPTION",
    "OR",
    "ORDER",
    "OUTER",
    "OVER",
    "PERCENT",
    "PIVOT",
    "PLAN",
    "PRECISION",
    "PRIMARY",
    "PRINT",
    "PROC",
    "PROCEDURE",
    "PUBLIC",
    "RAISERROR",
    "READ",
    "READTEXT",
    "RECONFIGURE",
    "REFERENCES",
    "REPLICATION",
    "RESTORE",
    "RESTRICT",
    "RETURN",
    "REVERT",
    "REVOKE",
    "RIGHT",
    "ROLLBACK",
    "ROWCOUNT",
    "ROWGUIDCOL",
    "RULE",
    "SAVE",
    "SCHEMA",
    "SECURITYAUDIT",
    "SELECT",
    "SEMANTICKEYPHRASETABLE",
    "SEMANTICSIMILARITYDETAILSTABLE",
    "SEMANTICSIMILARITYTABLE",
    "SESSION_USER",
    "SET",
    "SETUSER",
    "SHUTDOWN",
    "SOME",
    "STATISTICS",
    "SYSTEM_USER",
    "TABLE",
    "TABLESAMPLE",
    "TEXTSIZE",
    "THEN",
    "TO",
    "TOP",
    "TRAN",
    "TRANSACTION",
    "TRIGGER",
    "TRUNCATE",
    "TRY_CONVERT",
    "TSEQUAL",
    "UNION",
    "UNIQUE",
    "UNPIVOT",
    "UPDATE",
    "UPDATETEXT",
    "USE",
    "USER",
    "VALUES",
    "VARYING",
    "VIEW",
    "WAITFOR",
    "WHEN",
    "WHERE",
    "WHILE",
    "WITH",
    "WITHIN",
    "WRITETEXT",
};

bool IsReserved(std::string_view name) {
  return std::binary_search(kReserved.begin(), kReserved.end(), ToUpperAscii(name));
}

bool IsAsciiLetter(char c) {
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// Accented Latin letters (Latin-1 Supplement and Latin Extended-A and -B,
// without the signs × and ÷): every Hungarian letter is among them, and none
// of them means anything to the statement's parser. Other characters outside
// ASCII are refused rather than guessed at.
bool IsAccentedLatinLetter(char32_t c) {
  return c >= 0xC0 && c <= 0x24F && c != 0xD7 && c != 0xF7;
}

// Decodes the UTF-8 character at `at`; its length, or 0 when malformed.
std::size_t DecodeUtf8(std::string_view text, std::size_t at, char32_t& c) {
  const auto lead = static_cast<std::uint8_t>(text[at]);
  std::size_t length = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2;
    c = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    c = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    c = lead & 0x07;
  } else {
    return 0;
  }
  if (at + length > text.size()) return 0;
  for (std::size_t i = 1; i < length; ++i) {
    const auto next = static_cast<std::uint8_t>(text[at + i]);
    if ((next & 0xC0) != 0x80) return 0;
    c = (c << 6) | (next & 0x3F);
  }
  return length;
}

}  // namespace

std::optional<std::string> DatabaseNameProblem(std::string_view name) {
  const std::string refused = "Nem használható adatbázisnév: \"" + std::string(name) + "\" – ";
  if (name.empty()) return "Az adatbázis neve üres.";
  for (std::size_t i = 0; i < name.size();) {
    const char c = name[i];
    if (static_cast<std::uint8_t>(c) >= 0x80) {
      char32_t letter = 0;
      const std::size_t length = DecodeUtf8(name, i, letter);
      if (length == 0) return refused + "nem érvényes UTF-8 szöveg.";
      if (!IsAccentedLatinLetter(letter)) {
        return refused + "a(z) \"" + std::string(name.substr(i, length)) +
               "\" jel nem lehet benne.";
      }
      i += length;
      continue;
    }
    const bool first = i == 0;
    const bool allowed = IsAsciiLetter(c) || c == '_' ||
                         (!first && (IsDigit(c) || c == '@' || c == '$' || c == '#'));
    if (!allowed) {
      return refused + (first ? "betűvel vagy \"_\" jellel kell kezdődnie."
                              : "csak betű, számjegy és a _ @ $ # jelek lehetnek benne, \"" +
                                    std::string(1, c) + "\" nem.");
    }
    ++i;
  }
  if (IsReserved(name)) {
    return refused + "az SQL Server foglalt szava.";
  }
  return std::nullopt;
}

}  // namespace moltaro::instances
