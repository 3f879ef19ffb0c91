#include "engine/plan_step.h"

#include <array>
#include <cctype>
#include <cstdlib>
#include <vector>

#include "common/text.h"
#include "engine/run_phases.h"

namespace moltaro::engine {

namespace {

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.size() >= prefix.size() &&
         EqualsIgnoreCaseAscii(text.substr(0, prefix.size()), prefix);
}

struct Word {
  std::string text;
  std::size_t end = 0;  // where it ends in the statement
};

// The statement's first `count` words, split at blanks, line ends, "(",
// "=" and "," so that "create table X(" gives "X".
std::vector<Word> WordsAt(std::string_view text, std::size_t count) {
  std::vector<Word> words;
  std::string word;
  for (std::size_t k = 0; k <= text.size() && words.size() < count; ++k) {
    const char c = k < text.size() ? text[k] : ' ';
    if (std::isspace(static_cast<unsigned char>(c)) != 0 || c == '(' || c == '=' || c == ',') {
      if (!word.empty()) words.push_back({word, k});
      word.clear();
    } else {
      word += c;
    }
  }
  return words;
}

std::vector<std::string> Words(std::string_view text, std::size_t count) {
  std::vector<std::string> words;
  for (Word& word : WordsAt(text, count)) words.push_back(std::move(word.text));
  return words;
}

bool IsTemporary(std::string_view column) {
  constexpr std::string_view suffix = "_qxq";
  return column.size() > suffix.size() &&
         EqualsIgnoreCaseAscii(column.substr(column.size() - suffix.size()), suffix);
}

// "Numeric(12,2)" -> name "numeric", sizes {12, 2}.
struct ParsedType {
  std::string name;
  std::vector<long> sizes;
};

ParsedType ParseType(std::string_view text) {
  ParsedType type;
  const std::string trimmed = Trim(text);
  const std::size_t open = trimmed.find('(');
  type.name = ToLowerAscii(Trim(trimmed.substr(0, open)));
  if (open == std::string::npos) return type;
  const char* at = trimmed.c_str() + open + 1;
  while (*at != '\0' && *at != ')') {
    char* end = nullptr;
    type.sizes.push_back(std::strtol(at, &end, 10));
    if (end == at) break;
    at = *end == ',' ? end + 1 : end;
  }
  return type;
}

bool IsCharacter(std::string_view name) {
  return name == "char" || name == "varchar" || name == "nvarchar" || name == "nchar";
}

bool IsExact(std::string_view name) {
  return name == "decimal" || name == "numeric";
}

long Size(const ParsedType& type, std::size_t k) {
  return k < type.sizes.size() ? type.sizes[k] : 0;
}

}  // namespace

std::string PlanPhase(std::string_view progressLabel, std::string_view statement) {
  if (progressLabel == "OBJ") return std::string(kPlanSystem);
  constexpr std::array<std::string_view, 5> kNames = {kPlanPreScripts, kPlanTables, kPlanIndexes,
                                                      kPlanProcedures, kPlanPostScripts};
  for (std::size_t k = 0; k < kPhases.size(); ++k) {
    if (progressLabel == kPhases[k].label) return std::string(kNames[k]);
  }
  const std::string text = Trim(statement);
  if (StartsWith(text, "insert into ZMP_OBJ_") && !StartsWith(text, "insert into ZMP_OBJ_VER")) {
    return std::string(kPlanCatalogue);
  }
  return std::string(kPlanVersion);
}

std::string StatementKind(std::string_view phase, std::string_view statement) {
  const std::string text = Trim(statement);
  if (StartsWith(text, "begin transaction")) return "begin transaction";
  if (StartsWith(text, "commit transaction")) return "commit transaction";
  if (StartsWith(text, "if @@trancount > 0 rollback")) return "roll back";
  if (phase == kPlanPreScripts || phase == kPlanPostScripts) return "script statement";
  if (phase == kPlanProcedures) {
    const std::vector<std::string> words = Words(text, 2);
    const std::string verb = words.empty() ? "" : ToLowerAscii(words[0]);
    const std::string what = words.size() < 2 ? "" : ToLowerAscii(words[1]);
    if ((verb == "create" || verb == "alter") && (what == "procedure" || what == "function")) {
      return verb + " " + what;
    }
    return "procedure text";
  }
  if (StartsWith(text, "create table")) return "create table";
  if (StartsWith(text, "drop table")) return "drop table";
  if (StartsWith(text, "drop index")) return "drop index";
  if (StartsWith(text, "create ")) {
    const std::vector<std::string> words = Words(text, 4);
    for (const std::string& word : words) {
      if (EqualsIgnoreCaseAscii(word, "index")) return "create index";
    }
  }
  if (StartsWith(text, "delete from zmp_obj_ver") || StartsWith(text, "insert into zmp_obj_ver")) {
    return "record version";
  }
  if (StartsWith(text, "insert into ZMP_OBJ_")) return "catalogue row";  // after zmp_obj_ver
  if (StartsWith(text, "insert into")) return "seed row";
  if (StartsWith(text, "update ")) {
    const auto target = ColumnOf(text);
    return target && IsTemporary(target->column) ? "keep values in temporary column"
                                                 : "copy values";
  }
  if (StartsWith(text, "alter table")) {
    const std::vector<std::string> words = Words(text, 7);
    const std::string verb = words.size() > 3 ? ToLowerAscii(words[3]) : "";
    const std::string next = words.size() > 4 ? ToLowerAscii(words[4]) : "";
    if (verb == "add" && next == "constraint" && words.size() > 6 &&
        EqualsIgnoreCaseAscii(words[6], "default")) {
      return "create default";
    }
    if (verb == "add" && next == "constraint") return "add constraint";
    if (verb == "add") return IsTemporary(words[4]) ? "add temporary column" : "add column";
    if (verb == "alter") return "alter column";
    if (verb == "drop" && next == "constraint") return "drop default";
    if (verb == "drop" && words.size() > 5) {
      return IsTemporary(words[5]) ? "drop temporary column" : "drop column";
    }
  }
  return "statement";
}

std::optional<ColumnTarget> ColumnOf(std::string_view statement) {
  const std::string text = Trim(statement);
  const std::vector<Word> at = WordsAt(text, 6);
  std::vector<std::string> words;
  for (const Word& word : at) words.push_back(word.text);
  ColumnTarget target;
  std::size_t column = 0;
  if (StartsWith(text, "update ") && words.size() >= 5 && EqualsIgnoreCaseAscii(words[2], "set")) {
    target.table = words[1];
    target.column = words[3];
    target.source = words[4];
    return target;
  }
  if (!StartsWith(text, "alter table") || words.size() < 5) return std::nullopt;
  target.table = words[2];
  if (EqualsIgnoreCaseAscii(words[3], "add")) {
    column = 4;
  } else if (EqualsIgnoreCaseAscii(words[3], "alter") && words.size() > 5 &&
             EqualsIgnoreCaseAscii(words[4], "column")) {
    column = 5;
  } else {
    return std::nullopt;
  }
  if (EqualsIgnoreCaseAscii(words[column], "constraint")) return std::nullopt;
  target.column = words[column];
  target.definition = Trim(text.substr(at[column].end));
  return target;
}

TypeChange CompareTypes(std::string_view current, std::string_view wanted) {
  const ParsedType from = ParseType(current);
  const ParsedType to = ParseType(wanted);
  const std::string fromText = Trim(current);
  const std::string toText = Trim(wanted);
  TypeChange change;
  if (from.name.empty() || to.name.empty()) return change;
  if (IsCharacter(from.name) && IsCharacter(to.name)) {
    const bool fixed =
        from.name == "char" || to.name == "char" || from.name == "nchar" || to.name == "nchar";
    // Fixed-length text is padded to its length, so any change of it is a
    // new value; varchar into nvarchar of no less length converts nothing.
    change.rewrites =
        fixed ? fromText != toText
              : (from.name != to.name && !(from.name == "varchar" && to.name == "nvarchar"));
    if (Size(to, 0) < Size(from, 0)) {
      change.rewrites = true;
      change.risk = "narrows " + fromText + " to " + toText +
                    ": fails when a value is longer than " + std::to_string(Size(to, 0));
    }
    return change;
  }
  if (IsExact(from.name) && IsExact(to.name)) {
    const long fromWhole = Size(from, 0) - Size(from, 1);
    const long toWhole = Size(to, 0) - Size(to, 1);
    change.rewrites = Size(from, 1) != Size(to, 1) || fromWhole != toWhole;
    // Fewer decimals round; only fewer whole digits can refuse a value.
    if (toWhole < fromWhole) {
      change.risk = "narrows " + fromText + " to " + toText +
                    ": fails when a value has more than " + std::to_string(toWhole) +
                    " whole digits";
    }
    return change;
  }
  if (from.name == to.name) return change;
  change.rewrites = true;
  change.risk = "converts every value from " + fromText + " to " + toText +
                ": fails when a value does not convert";
  return change;
}

}  // namespace moltaro::engine
