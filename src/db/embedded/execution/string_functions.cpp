#include "db/embedded/execution/string_functions.h"

#include <sqlite3.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <memory>
#include <vector>

#include "common/text.h"
#include "db/embedded/execution/convert_styles.h"
#include "db/embedded/storage/sqlite_values.h"
#include "db/embedded/types/collation.h"
#include "db/embedded/types/decimal.h"

namespace moltaro::db::embedded {

namespace {

bool IsNull(sqlite3_value* v) {
  return sqlite3_value_type(v) == SQLITE_NULL;
}

void ResultText(sqlite3_context* ctx, const std::string& s) {
  sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

// The characters of UTF-8 text, each as its bytes.
std::vector<std::string> Characters(const std::string& s) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < s.size();) {
    std::size_t j = i + 1;
    while (j < s.size() && (static_cast<unsigned char>(s[j]) & 0xC0) == 0x80) ++j;
    out.push_back(s.substr(i, j - i));
    i = j;
  }
  return out;
}

std::string Join(const std::vector<std::string>& chars, std::size_t from, std::size_t to) {
  std::string out;
  for (std::size_t i = from; i < to && i < chars.size(); ++i) out += chars[i];
  return out;
}

// tsql_concat(a, b, …): NULL is empty text.
void ConcatFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  std::string out;
  for (int i = 0; i < argc; ++i) {
    if (!IsNull(argv[i])) out += ArgText(argv[i]);
  }
  ResultText(ctx, out);
}

// tsql_concat_ws(separator, a, b, …): NULL values are left out with their
// separator.
void ConcatWsFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  const std::string separator = IsNull(argv[0]) ? std::string() : ArgText(argv[0]);
  std::string out;
  bool first = true;
  for (int i = 1; i < argc; ++i) {
    if (IsNull(argv[i])) continue;
    if (!first) out += separator;
    out += ArgText(argv[i]);
    first = false;
  }
  ResultText(ctx, out);
}

// tsql_stuff(text, start, length, replacement)
void StuffFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0]) || IsNull(argv[1]) || IsNull(argv[2])) {
    sqlite3_result_null(ctx);
    return;
  }
  const std::vector<std::string> chars = Characters(ArgText(argv[0]));
  const long long start = sqlite3_value_int64(argv[1]);
  const long long length = sqlite3_value_int64(argv[2]);
  const auto size = static_cast<long long>(chars.size());
  // A start outside the text or a negative length give NULL.
  if (start < 1 || start > size || length < 0) {
    sqlite3_result_null(ctx);
    return;
  }
  const auto from = static_cast<std::size_t>(start - 1);
  const auto to = static_cast<std::size_t>(std::min(size, start - 1 + length));
  std::string out = Join(chars, 0, from);
  if (!IsNull(argv[3])) out += ArgText(argv[3]);
  out += Join(chars, to, chars.size());
  ResultText(ctx, out);
}

// tsql_quotename(name[, quote])
void QuoteNameFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  if (IsNull(argv[0]) || (argc > 1 && IsNull(argv[1]))) {
    sqlite3_result_null(ctx);
    return;
  }
  const std::string name = ArgText(argv[0]);
  const std::string quote = argc > 1 ? ArgText(argv[1]) : std::string("[");
  if (Utf8Length(name) > 128 || quote.size() != 1) {
    sqlite3_result_null(ctx);
    return;
  }
  char open = quote[0], close = 0;
  switch (open) {
    case '[':
    case ']':
      open = '[';
      close = ']';
      break;
    case '(':
    case ')':
      open = '(';
      close = ')';
      break;
    case '<':
    case '>':
      open = '<';
      close = '>';
      break;
    case '{':
    case '}':
      open = '{';
      close = '}';
      break;
    case '"':
    case '\'':
    case '`':
      close = open;
      break;
    default:
      sqlite3_result_null(ctx);
      return;
  }
  std::string out(1, open);
  for (const char c : name) {
    out += c;
    if (c == close) out += c;
  }
  out += close;
  ResultText(ctx, out);
}

// tsql_translate(text, characters, translations): each character of the
// second found in the text becomes the one at its place in the third, once
// (a replacement is not replaced again).
void TranslateFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0]) || IsNull(argv[1]) || IsNull(argv[2])) {
    sqlite3_result_null(ctx);
    return;
  }
  const std::vector<std::string> from = Characters(ArgText(argv[1]));
  const std::vector<std::string> to = Characters(ArgText(argv[2]));
  if (from.size() != to.size()) {
    ResultError(ctx, SqlErrorByNumber(9828));
    return;
  }
  std::string out;
  for (const std::string& c : Characters(ArgText(argv[0]))) {
    const auto found = std::find(from.begin(), from.end(), c);
    out += found == from.end() ? c : to[static_cast<std::size_t>(found - from.begin())];
  }
  ResultText(ctx, out);
}

void ReverseFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0])) {
    sqlite3_result_null(ctx);
    return;
  }
  std::vector<std::string> chars = Characters(ArgText(argv[0]));
  std::reverse(chars.begin(), chars.end());
  ResultText(ctx, Join(chars, 0, chars.size()));
}

// The number with `places` decimals; exact numbers are rounded exactly.
std::string FixedText(sqlite3_value* v, int places) {
  const SourceValue in = ReadArg(v);
  if (const auto* d = std::get_if<Decimal>(&in.value)) {
    if (auto text = RoundedDecimalText(*d, places)) return *text;
  }
  const double x = sqlite3_value_double(v);
  char buf[400];
  std::snprintf(buf, sizeof buf, "%.*f", places, x);
  std::string text = buf;
  if (text.rfind("-", 0) == 0 && text.find_first_not_of("-0.") == std::string::npos) {
    text.erase(0, 1);  // no "-0.0"
  }
  return text;
}

// tsql_str(number[, length[, decimals]]): right-aligned in `length`
// characters; decimals give way when the number does not fit, asterisks fill
// the field when its integer part does not.
void StrFn(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  for (int i = 0; i < argc; ++i) {
    if (IsNull(argv[i])) {
      sqlite3_result_null(ctx);
      return;
    }
  }
  const int type = sqlite3_value_type(argv[0]);
  if (type == SQLITE_TEXT && !ParseNumberText(ArgText(argv[0]))) {
    ResultError(ctx, SqlErrorByNumber(8114, {"varchar", "float"}));
    return;
  }
  const long long length = argc > 1 ? sqlite3_value_int64(argv[1]) : 10;
  long long decimals = argc > 2 ? sqlite3_value_int64(argv[2]) : 0;
  if (length <= 0 || length > 8000 || decimals < 0) {
    sqlite3_result_null(ctx);
    return;
  }
  decimals = std::min(decimals, 16LL);
  std::string text = FixedText(argv[0], static_cast<int>(decimals));
  if (static_cast<long long>(text.size()) > length) {
    const std::string whole = FixedText(argv[0], 0);
    const auto wholeLength = static_cast<long long>(whole.size());
    if (wholeLength > length) {
      ResultText(ctx, std::string(static_cast<std::size_t>(length), '*'));
      return;
    }
    const long long fit = length - wholeLength - 1;
    text = fit > 0 ? FixedText(argv[0], static_cast<int>(fit)) : whole;
    if (static_cast<long long>(text.size()) > length) text = whole;
  }
  text.insert(0, static_cast<std::size_t>(length) - text.size(), ' ');
  ResultText(ctx, text);
}

// Sixteen bytes as uniqueidentifier text (upper-case hex in 8-4-4-4-12).
std::string GuidText(const unsigned char (&bytes)[16]) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  std::string out;
  for (int i = 0; i < 16; ++i) {
    if (i == 4 || i == 6 || i == 8 || i == 10) out += '-';
    out += kHex[bytes[i] >> 4];
    out += kHex[bytes[i] & 15];
  }
  return out;
}

void NewIdFn(sqlite3_context* ctx, int, sqlite3_value**) {
  unsigned char bytes[16];
  sqlite3_randomness(sizeof bytes, bytes);
  bytes[6] = static_cast<unsigned char>((bytes[6] & 0x0F) | 0x40);  // version 4
  bytes[8] = static_cast<unsigned char>((bytes[8] & 0x3F) | 0x80);  // variant 1
  ResultText(ctx, GuidText(bytes));
}

// NEWSEQUENTIALID() of a column default: each value sorts after the ones
// this connection made before it under SQL Server's order of
// uniqueidentifier, which weighs the last six bytes first (here the clock in
// milliseconds) and then bytes 8 and 9 (a count within the millisecond).
struct SequentialIds {
  long long lastMillis = 0;
  unsigned count = 0;
};

void NewSequentialIdFn(sqlite3_context* ctx, int, sqlite3_value**) {
  auto* state = static_cast<SequentialIds*>(sqlite3_user_data(ctx));
  const long long now = std::chrono::duration_cast<std::chrono::milliseconds>(
                            std::chrono::system_clock::now().time_since_epoch())
                            .count();
  if (now > state->lastMillis) {
    state->lastMillis = now;
    state->count = 0;
  } else if (++state->count > 0xFFFF) {
    // More than the count can tell apart: the next millisecond is taken early.
    ++state->lastMillis;
    state->count = 0;
  }
  unsigned char bytes[16];
  sqlite3_randomness(sizeof bytes, bytes);
  bytes[8] = static_cast<unsigned char>(state->count >> 8);
  bytes[9] = static_cast<unsigned char>(state->count & 0xFF);
  for (int i = 0; i < 6; ++i) {
    bytes[15 - i] = static_cast<unsigned char>((state->lastMillis >> (8 * i)) & 0xFF);
  }
  ResultText(ctx, GuidText(bytes));
}

void DestroySequentialIds(void* state) {
  std::unique_ptr<SequentialIds> owned(static_cast<SequentialIds*>(state));
}

// tsql_patindex(pattern, text): where the LIKE pattern first matches; a
// pattern not starting with % matches only at the start.
void PatIndexFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (IsNull(argv[0]) || IsNull(argv[1])) {
    sqlite3_result_null(ctx);
    return;
  }
  const auto* coll = static_cast<const Collation*>(sqlite3_user_data(ctx));
  std::string pattern = ArgText(argv[0]);
  const std::vector<std::string> chars = Characters(ArgText(argv[1]));
  const bool anywhere = !pattern.empty() && pattern[0] == '%';
  const std::size_t stripped = pattern.find_first_not_of('%');
  pattern.erase(0, stripped == std::string::npos ? pattern.size() : stripped);
  if (pattern.empty()) {
    sqlite3_result_int(ctx, anywhere ? 1 : static_cast<int>(chars.empty()));
    return;
  }
  const std::size_t last = anywhere ? chars.size() : 0;
  for (std::size_t i = 0; i <= last && i < chars.size(); ++i) {
    if (coll->Like(Join(chars, i, chars.size()), pattern, std::string_view())) {
      sqlite3_result_int64(ctx, static_cast<long long>(i) + 1);
      return;
    }
  }
  sqlite3_result_int(ctx, 0);
}

// ---- STRING_AGG -------------------------------------------------------------

struct AggregatedValue {
  std::vector<StoredValue> keys;
  std::string text;
};

struct Aggregation {
  std::string separator;
  std::vector<AggregatedValue> values;
  std::vector<bool> descending;
};

int CompareKeys(const StoredValue& a, const StoredValue& b, const Collation& coll) {
  const bool nullA = std::holds_alternative<std::monostate>(a);
  const bool nullB = std::holds_alternative<std::monostate>(b);
  if (nullA || nullB) return nullA == nullB ? 0 : nullA ? -1 : 1;
  const auto* ta = std::get_if<std::string>(&a);
  const auto* tb = std::get_if<std::string>(&b);
  if (ta && tb) return coll.Compare(*ta, *tb);
  if (ta || tb) return ta ? 1 : -1;  // numbers before text, as SQLite sorts
  if (std::holds_alternative<double>(a) || std::holds_alternative<double>(b)) {
    auto number = [](const StoredValue& v) {
      if (const auto* d = std::get_if<Decimal>(&v)) return DecimalToDouble(*d);
      if (const auto* i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
      return std::get<double>(v);
    };
    const double x = number(a), y = number(b);
    return x < y ? -1 : x > y ? 1 : 0;
  }
  auto exact = [](const StoredValue& v) {
    if (const auto* d = std::get_if<Decimal>(&v)) return *d;
    return DecimalFromInteger(std::get<std::int64_t>(v));
  };
  return CompareDecimal(exact(a), exact(b));
}

// The aggregate's state lives in SQLite's context as a pointer to its own
// object, freed by the final call.
Aggregation* State(sqlite3_context* ctx, bool create) {
  auto** slot = static_cast<Aggregation**>(
      sqlite3_aggregate_context(ctx, create ? static_cast<int>(sizeof(Aggregation*)) : 0));
  if (!slot) return nullptr;
  if (!*slot && create) *slot = std::make_unique<Aggregation>().release();
  return *slot;
}

// tsql_string_agg(value, separator[, descending, key]…)
void StringAggStep(sqlite3_context* ctx, int argc, sqlite3_value** argv) {
  Aggregation* state = State(ctx, true);
  if (!state) {
    sqlite3_result_error_nomem(ctx);
    return;
  }
  if (IsNull(argv[0])) return;
  if (state->values.empty()) {
    state->separator = IsNull(argv[1]) ? std::string() : ArgText(argv[1]);
    for (int i = 2; i + 1 < argc; i += 2) state->descending.push_back(sqlite3_value_int(argv[i]));
  }
  AggregatedValue value;
  value.text = ArgText(argv[0]);
  for (int i = 3; i < argc; i += 2) value.keys.push_back(ReadArg(argv[i]).value);
  state->values.push_back(std::move(value));
}

void StringAggFinal(sqlite3_context* ctx) {
  std::unique_ptr<Aggregation> state(State(ctx, false));
  if (!state || state->values.empty()) {
    sqlite3_result_null(ctx);
    return;
  }
  const auto* coll = static_cast<const Collation*>(sqlite3_user_data(ctx));
  std::stable_sort(state->values.begin(), state->values.end(),
                   [&](const AggregatedValue& a, const AggregatedValue& b) {
                     for (std::size_t k = 0; k < a.keys.size(); ++k) {
                       int c = CompareKeys(a.keys[k], b.keys[k], *coll);
                       if (state->descending[k]) c = -c;
                       if (c != 0) return c < 0;
                     }
                     return false;
                   });
  std::string out;
  for (std::size_t i = 0; i < state->values.size(); ++i) {
    if (i) out += state->separator;
    out += state->values[i].text;
  }
  ResultText(ctx, out);
}

}  // namespace

void RegisterStringFunctions(sqlite3* db) {
  RegisterScalar(db, "tsql_concat", -1, ConcatFn);
  RegisterScalar(db, "tsql_concat_ws", -1, ConcatWsFn);
  RegisterScalar(db, "tsql_stuff", 4, StuffFn);
  RegisterScalar(db, "tsql_quotename", 1, QuoteNameFn);
  RegisterScalar(db, "tsql_quotename", 2, QuoteNameFn);
  RegisterScalar(db, "tsql_reverse", 1, ReverseFn);
  RegisterScalar(db, "tsql_translate", 3, TranslateFn);
  RegisterScalar(db, "tsql_str", 1, StrFn);
  RegisterScalar(db, "tsql_str", 2, StrFn);
  RegisterScalar(db, "tsql_str", 3, StrFn);
  RegisterScalar(db, "tsql_newid", 0, NewIdFn, false);
  auto sequential = std::make_unique<SequentialIds>();
  sqlite3_create_function_v2(db, "tsql_newsequentialid", 0, SQLITE_UTF8, sequential.release(),
                             NewSequentialIdFn, nullptr, nullptr, DestroySequentialIds);
}

void RegisterCollatedStringFunctions(sqlite3* db, const std::string& collationName) {
  auto patindex = std::make_unique<Collation>(collationName);
  sqlite3_create_function_v2(db, "tsql_patindex", 2, SQLITE_UTF8 | SQLITE_DETERMINISTIC,
                             patindex.release(), PatIndexFn, nullptr, nullptr, DestroyCollation);
  auto aggregate = std::make_unique<Collation>(collationName);
  sqlite3_create_function_v2(db, "tsql_string_agg", -1, SQLITE_UTF8, aggregate.release(), nullptr,
                             StringAggStep, StringAggFinal, DestroyCollation);
}

}  // namespace moltaro::db::embedded
