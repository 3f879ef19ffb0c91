#include "convert/value_rules.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <system_error>
#include <vector>

#include "common/text.h"
#include "common/utf8.h"
#include "convert/convert_error.h"

namespace moltaro::convert {
namespace {

// The new time-data code of legacy time codes 1 to 46; codes 22, 44 and 46
// were merged into 42.
constexpr std::array<int, 46> kTimeCodePositions = {
    10, 11, 12, 13, 14, 15, 16, 17, 19, 21, 22, 23, 24, 25, 26, 27, 28, 29, 30, 31, 41, 42, 43,
    51, 52, 53, 61, 62, 63, 71, 72, 73, 81, 82, 83, 84, 85, 86, 91, 92, 93, 45, 46, 42, 89, 42};

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && text.front() == ' ') text.remove_prefix(1);
  while (!text.empty() && text.back() == ' ') text.remove_suffix(1);
  return text;
}

// The numbers 1 to `last` that the list names: ",list," contains ",k,"
// exactly when one of the list's comma-separated items is k written without
// blanks or leading zeros.
std::vector<int> NamedNumbers(std::string_view list, int last) {
  std::vector<int> named;
  std::size_t start = 0;
  while (true) {
    const std::size_t end = std::min(list.find(',', start), list.size());
    const std::string_view item = list.substr(start, end - start);
    int k = 0;
    const auto [stop, error] = std::from_chars(item.data(), item.data() + item.size(), k);
    if (!item.empty() && item.front() != '0' && item.front() != '-' && error == std::errc() &&
        stop == item.data() + item.size() && k >= 1 && k <= last) {
      named.push_back(k);
    }
    if (end == list.size()) return named;
    start = end + 1;
  }
}

}  // namespace

std::string CharSlice(std::string_view text, std::size_t start, std::size_t count) {
  std::size_t i = 0;
  for (std::size_t skipped = 0; skipped < start && i < text.size(); ++skipped) DecodeUtf8(text, i);
  const std::size_t from = i;
  for (std::size_t taken = 0; taken < count && i < text.size(); ++taken) DecodeUtf8(text, i);
  return std::string(text.substr(from, i - from));
}

std::string DateRule(std::string_view yyyymmdd) {
  return CharSlice(yyyymmdd, 0, 4) + "." + CharSlice(yyyymmdd, 4, 2) + "." +
         CharSlice(yyyymmdd, 6, 2);
}

std::string BlankDateRule(std::string_view field) {
  return DateRule(field == "        " ? "99991231" : field);
}

std::string TFlagRule(std::string_view field) {
  return field == "T" ? "I" : "N";
}

db::Value DecimalRule(std::string_view field, std::size_t width) {
  if (Utf8Length(field) == width && field.find_first_not_of(' ') == std::string_view::npos) {
    return db::Null();
  }
  return HungarianFloat(ReplaceAll(field, ".", ","));
}

std::string CommaTextRule(std::string_view field) {
  return ReplaceAll(field, ".", ",");
}

double HungarianFloat(std::string_view text) {
  const std::string_view number = TrimBlanks(text);
  std::string c;  // the same number with a decimal point, for from_chars
  std::size_t i = 0;
  if (i < number.size() && (number[i] == '+' || number[i] == '-')) c += number[i++];
  std::size_t digits = 0;
  bool comma = false;
  for (; i < number.size(); ++i) {
    if (IsDigit(number[i])) {
      c += number[i];
      ++digits;
    } else if (number[i] == ',' && !comma) {
      c += '.';
      comma = true;
    } else {
      break;
    }
  }
  bool valid = digits > 0;
  if (valid && i < number.size() && (number[i] == 'e' || number[i] == 'E')) {
    c += number[i++];
    if (i < number.size() && (number[i] == '+' || number[i] == '-')) c += number[i++];
    const std::size_t exponentStart = i;
    while (i < number.size() && IsDigit(number[i])) c += number[i++];
    valid = i > exponentStart;
  }
  double value = 0;
  if (valid && i == number.size()) {
    const char* begin = c.data() + (c.front() == '+' ? 1 : 0);
    const auto [end, error] = std::from_chars(begin, c.data() + c.size(), value);
    if (error == std::errc() && end == c.data() + c.size()) return value;
  }
  throw ConvertError("'" + std::string(text) + "' nem érvényes lebegőpontos érték.");
}

std::int64_t LegacyInteger(std::string_view text) {
  std::string_view number = text;
  while (!number.empty() && number.front() == ' ') number.remove_prefix(1);
  if (!number.empty() && number.front() == '+') number.remove_prefix(1);
  std::int64_t value = 0;
  const auto [end, error] = std::from_chars(number.data(), number.data() + number.size(), value);
  if (number.empty() || error != std::errc() || end != number.data() + number.size()) {
    throw ConvertError("'" + std::string(text) + "' nem érvényes egész szám.");
  }
  return value;
}

bool ListNames(std::string_view list, int k) {
  const std::string wrapped = "," + std::string(list) + ",";
  return wrapped.find("," + std::to_string(k) + ",") != std::string::npos;
}

std::string TimeCodeFlags(std::string_view list) {
  std::string flags(100, 'N');
  for (const int k : NamedNumbers(list, static_cast<int>(kTimeCodePositions.size()))) {
    flags[static_cast<std::size_t>(kTimeCodePositions[static_cast<std::size_t>(k - 1)] - 1)] = 'I';
  }
  return flags;
}

std::string NumberFlags(std::string_view list) {
  std::string flags(250, '_');
  for (const int k : NamedNumbers(list, 250)) flags[static_cast<std::size_t>(k - 1)] = 'I';
  return flags;
}

}  // namespace moltaro::convert
