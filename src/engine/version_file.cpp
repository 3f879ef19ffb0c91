#include "engine/version_file.h"

#include <array>

#include "common/codepage.h"
#include "common/text.h"
#include "engine/record_field.h"

namespace moltaro::engine {

namespace {

// Widest value each numeric catalogue column takes, in digits.
constexpr int kHeadDigits = 9;  // ZMP_OBJ_FEJ id, fej_id, sor; ZMP_OBJ_GYEREK id, fej_id, gyerek_id
constexpr int kChildDigits = 4;  // ZMP_OBJ_GYEREK sor, tipus, hossz, tizedes

// Longest version number ZMP_OBJ_VER.szam holds.
constexpr std::size_t kVersionLength = 10;

// Longest part of a faulty line quoted in a message.
constexpr std::size_t kQuotedLineLength = 120;

struct NumericField {
  int field;
  int digits;
};

// A record's fields are read as RecordField reads them: one that is missing
// at the end of the line is empty. What a record cannot do without is its
// numbers and its name.
struct RecordShape {
  char kind;
  int nameField;  // the object's or column's name
  std::array<NumericField, 6> numeric;
  int numericCount;
};

constexpr std::array<RecordShape, 7> kShapes = {{
    {'E', 3, {{{2, kHeadDigits}, {4, kHeadDigits}}}, 2},
    {'P', 3, {{{2, kHeadDigits}, {4, kHeadDigits}}}, 2},
    {'U', 3, {{{2, kHeadDigits}, {4, kHeadDigits}}}, 2},
    {'T', 3, {{{2, kHeadDigits}}}, 1},
    {'I', 4, {{{2, kHeadDigits}, {3, kHeadDigits}}}, 2},
    {'t',
     5,
     {{{2, kHeadDigits},
       {3, kHeadDigits},
       {4, kChildDigits},
       {6, kChildDigits},
       {7, kChildDigits},
       {8, kChildDigits}}},
     6},
    {'i', 0, {{{2, kHeadDigits}, {3, kHeadDigits}, {4, kHeadDigits}, {5, kChildDigits}}}, 4},
}};

const RecordShape* ShapeOf(char kind) {
  for (const RecordShape& shape : kShapes) {
    if (shape.kind == kind) return &shape;
  }
  return nullptr;
}

// A whole number, blanks around it allowed (the server ignores them), with at
// most `digits` significant digits.
bool IsWholeNumber(std::string_view text, int digits) {
  const std::string value = Trim(text);
  std::size_t at = 0;
  if (at < value.size() && (value[at] == '-' || value[at] == '+')) ++at;
  if (at == value.size()) return false;
  while (at + 1 < value.size() && value[at] == '0') ++at;
  const std::size_t first = at;
  for (; at < value.size(); ++at) {
    if (value[at] < '0' || value[at] > '9') return false;
  }
  return static_cast<int>(value.size() - first) <= digits;
}

bool IsCharacterType(std::string_view typeCode) {
  return typeCode == "167" || typeCode == "175" || typeCode == "231";
}

}  // namespace

std::vector<std::string> SplitVersionLines(std::string_view cp1250Bytes) {
  const std::string text = Cp1250ToUtf8(cp1250Bytes);
  std::vector<std::string> lines;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    const std::size_t next = end == std::string::npos ? text.size() : end + 1;
    if (end == std::string::npos) end = text.size();
    if (end > start && text[end - 1] == '\r') --end;
    lines.emplace_back(text.substr(start, end - start));
    start = next;
  }
  return lines;
}

bool IsRecordLine(std::string_view line) {
  return line.substr(0, 2) == "$$";
}

char RecordKind(std::string_view line) {
  return line.size() >= 3 ? line[2] : '\0';
}

bool IsTextKind(char kind) {
  return kind == 'E' || kind == 'P' || kind == 'U';
}

std::optional<std::string> RecordFault(char kind, std::string_view record) {
  const RecordShape* shape = ShapeOf(kind);
  if (shape == nullptr) return std::nullopt;
  for (int k = 0; k < shape->numericCount; ++k) {
    const NumericField& numeric = shape->numeric[static_cast<std::size_t>(k)];
    const std::string value = RecordField(record, numeric.field);
    if (!IsWholeNumber(value, numeric.digits)) {
      return "a(z) " + std::to_string(numeric.field) + ". mező nem legfeljebb " +
             std::to_string(numeric.digits) + " jegyű egész szám: \"" +
             Utf8Left(value, kQuotedLineLength) + "\"";
    }
  }
  if (shape->nameField > 0 && Trim(RecordField(record, shape->nameField)).empty()) {
    return "a(z) " + std::to_string(shape->nameField) + ". mező (a név) üres vagy hiányzik";
  }
  return std::nullopt;
}

std::optional<std::string> VersionNumberFault(std::string_view version) {
  if (Trim(version).empty()) return "a fejlécben nincs verziószám";
  if (Utf8Length(version) > kVersionLength) {
    return "a verziószám hosszabb " + std::to_string(kVersionLength) + " karakternél";
  }
  return std::nullopt;
}

std::string NormaliseDefault(std::string_view typeCode, std::string_view notNull,
                             std::string_view deflt) {
  std::string value = ReplaceAll(deflt, "'", "");
  if (notNull == "I" && value.empty()) {
    if (IsCharacterType(typeCode)) {
      value = "_";
    } else if (typeCode == "61") {
      value = "19730823";
    } else {
      value = "0";
    }
  }
  if (!value.empty()) {
    if (IsCharacterType(typeCode) || typeCode == "61") {
      value = "('" + value + "')";
    } else {
      value = "(" + value + ")";
    }
  }
  return Trim(value);
}

std::string FaultyLineMessage(std::size_t lineNumber, std::string_view cause,
                              std::string_view line) {
  std::string quoted = Utf8Left(line, kQuotedLineLength);
  if (quoted.size() < line.size()) quoted += "…";
  return "Hibás a verzió file " + std::to_string(lineNumber) + ". sora (" + std::string(cause) +
         "): " + quoted;
}

}  // namespace moltaro::engine
