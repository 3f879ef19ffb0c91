#include "db/embedded/storage/sqlite_values.h"

#include "db/embedded/storage/sqlite_db.h"
#include "db/embedded/types/collation.h"
#include "db/embedded/types/variant.h"

#include <sqlite3.h>

#include <memory>

#include <charconv>

namespace moltaro::db::embedded {

namespace {

// Starts a message that carries a number: "\x01" number "\x01" message. No
// SQL Server message starts with a control character.
constexpr char kNumberMark = '\x01';

}  // namespace

SourceValue ReadArg(sqlite3_value* v) {
  SourceValue in;
  switch (sqlite3_value_type(v)) {
    case SQLITE_INTEGER:
      in.value = std::int64_t{sqlite3_value_int64(v)};
      break;
    case SQLITE_FLOAT:
      in.value = sqlite3_value_double(v);
      break;
    case SQLITE_NULL:
      break;
    case SQLITE_BLOB: {
      Decimal d;
      const auto* bytes = static_cast<const unsigned char*>(sqlite3_value_blob(v));
      const auto size = static_cast<std::size_t>(sqlite3_value_bytes(v));
      if (bytes && DecodeDecimal(bytes, size, d)) {
        in.value = d;
        break;
      }
      if (Binary b; DecodeBinary(bytes, size, b)) {
        in.value = std::move(b);
        break;
      }
      if (VariantPtr variant; DecodeVariant(bytes, size, variant)) {
        in.value = std::move(variant);
        break;
      }
      [[fallthrough]];
    }
    default: {
      const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(v));
      in.value = std::string(t ? t : "", static_cast<std::size_t>(sqlite3_value_bytes(v)));
      break;
    }
  }
  return in;
}

StoredValue ColumnStoredValue(sqlite3_stmt* stmt, int column) {
  return ReadArg(sqlite3_column_value(stmt, column)).value;
}

void ResultValue(sqlite3_context* ctx, const StoredValue& v) {
  if (const auto* i = std::get_if<std::int64_t>(&v)) {
    sqlite3_result_int64(ctx, *i);
  } else if (const auto* d = std::get_if<double>(&v)) {
    sqlite3_result_double(ctx, *d);
  } else if (const auto* s = std::get_if<std::string>(&v)) {
    sqlite3_result_text(ctx, s->data(), static_cast<int>(s->size()), SQLITE_TRANSIENT);
  } else if (const auto* dec = std::get_if<Decimal>(&v)) {
    const std::string bytes = EncodeDecimal(*dec);
    sqlite3_result_blob(ctx, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
  } else if (const auto* bin = std::get_if<Binary>(&v)) {
    const std::string bytes = EncodeBinary(*bin);
    sqlite3_result_blob(ctx, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
  } else if (const auto* variant = std::get_if<VariantPtr>(&v)) {
    const std::string bytes = EncodeVariant(**variant);
    sqlite3_result_blob(ctx, bytes.data(), static_cast<int>(bytes.size()), SQLITE_TRANSIENT);
  } else {
    sqlite3_result_null(ctx);
  }
}

void ResultError(sqlite3_context* ctx, const SqlError& error) {
  const std::string message = MessageWithNumber(error);
  sqlite3_result_error(ctx, message.c_str(), static_cast<int>(message.size()));
}

std::string ArgText(sqlite3_value* v) {
  if (sqlite3_value_type(v) == SQLITE_BLOB) {
    Decimal d;
    const auto* bytes = static_cast<const unsigned char*>(sqlite3_value_blob(v));
    const auto size = static_cast<std::size_t>(sqlite3_value_bytes(v));
    if (bytes && DecodeDecimal(bytes, size, d)) return DecimalCastText(d);
    if (Binary b; DecodeBinary(bytes, size, b)) return b.bytes;
    if (VariantPtr variant; DecodeVariant(bytes, size, variant)) return TextOf(variant->value);
  }
  const auto* t = reinterpret_cast<const char*>(sqlite3_value_text(v));
  return std::string(t ? t : "", static_cast<std::size_t>(sqlite3_value_bytes(v)));
}

std::string MessageWithNumber(const SqlError& error) {
  if (error.number == 0) return error.message;
  return std::string(1, kNumberMark) + std::to_string(error.number) + kNumberMark + error.message;
}

SqlError ErrorFromMessage(std::string_view message) {
  if (message.size() < 3 || message[0] != kNumberMark) return SqlError{0, std::string(message)};
  const std::size_t end = message.find(kNumberMark, 1);
  int number = 0;
  if (end == std::string_view::npos ||
      std::from_chars(message.data() + 1, message.data() + end, number).ec != std::errc()) {
    return SqlError{0, std::string(message)};
  }
  return SqlError{number, std::string(message.substr(end + 1))};
}

SqlType TypeFromArguments(sqlite3_value** argv) {
  SqlType t;
  t.base = static_cast<BaseType>(sqlite3_value_int(argv[0]));
  t.length = sqlite3_value_int(argv[1]);
  t.precision = sqlite3_value_int(argv[2]);
  t.scale = sqlite3_value_int(argv[3]);
  return t;
}

void RegisterScalar(sqlite3* db, const char* name, int argc, ScalarFunction fn, bool deterministic,
                    const SqliteDb* connection) {
  sqlite3_create_function_v2(db, name, argc,
                             SQLITE_UTF8 | (deterministic ? SQLITE_DETERMINISTIC : 0),
                             const_cast<SqliteDb*>(connection), fn, nullptr, nullptr, nullptr);
}

const DateSettings& SessionDates(sqlite3_context* ctx) {
  static const DateSettings kDefault{};
  const auto* connection = static_cast<const SqliteDb*>(sqlite3_user_data(ctx));
  return connection ? connection->Dates() : kDefault;
}

void DestroyCollation(void* collation) {
  std::unique_ptr<Collation> owned(static_cast<Collation*>(collation));
}

}  // namespace moltaro::db::embedded
