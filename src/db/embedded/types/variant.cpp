#include "db/embedded/types/variant.h"

#include <cstdint>
#include <cstring>
#include <memory>

#include "common/text.h"
#include "db/embedded/parser/tsql_parser.h"

namespace moltaro::db::embedded {

namespace {

// SQL Server's order of the types for sql_variant comparisons, highest
// first; the families are runs of it.
constexpr BaseType kHierarchy[] = {
    BaseType::DateTime2,
    BaseType::DateTimeOffset,
    BaseType::DateTime,
    BaseType::SmallDateTime,
    BaseType::Date,
    BaseType::Time,
    BaseType::Float,
    BaseType::Real,
    BaseType::Decimal,
    BaseType::Money,
    BaseType::SmallMoney,
    BaseType::BigInt,
    BaseType::Int,
    BaseType::SmallInt,
    BaseType::TinyInt,
    BaseType::Bit,
    BaseType::NVarChar,
    BaseType::NChar,
    BaseType::VarChar,
    BaseType::Char,
    BaseType::VarBinary,
    BaseType::Binary,
    BaseType::UniqueIdentifier,
};

int Position(BaseType base) {
  if (base == BaseType::Numeric) base = BaseType::Decimal;
  for (std::size_t i = 0; i < std::size(kHierarchy); ++i) {
    if (kHierarchy[i] == base) return static_cast<int>(i);
  }
  return static_cast<int>(std::size(kHierarchy));
}

enum class Family { UniqueIdentifier, Binary, Character, Exact, Approximate, DateTime };

Family FamilyOf(BaseType base) {
  if (IsDateOrTime(base)) return Family::DateTime;
  if (base == BaseType::Float || base == BaseType::Real) return Family::Approximate;
  if (IsCharacter(base)) return Family::Character;
  if (IsBinary(base)) return Family::Binary;
  if (base == BaseType::UniqueIdentifier) return Family::UniqueIdentifier;
  return Family::Exact;
}

int Sign(int v) {
  return v < 0 ? -1 : v > 0 ? 1 : 0;
}

void PutInt64(std::string& out, std::uint64_t v) {
  for (int shift = 56; shift >= 0; shift -= 8) out += static_cast<char>(v >> shift & 0xFF);
}

std::uint64_t GetInt64(const unsigned char* b) {
  std::uint64_t v = 0;
  for (int i = 0; i < 8; ++i) v = v << 8 | b[i];
  return v;
}

std::size_t Characters(std::string_view utf8) {
  std::size_t n = 0;
  for (const char c : utf8) n += (static_cast<unsigned char>(c) & 0xC0) != 0x80;
  return n;
}

SqlType InferredType(const SourceValue& in) {
  SqlType t;
  if (const auto* i = std::get_if<std::int64_t>(&in.value)) {
    t.base = *i >= INT32_MIN && *i <= INT32_MAX ? BaseType::Int : BaseType::BigInt;
  } else if (std::holds_alternative<double>(in.value)) {
    t.base = BaseType::Float;
  } else if (const auto* d = std::get_if<Decimal>(&in.value)) {
    t.base = d->kind == ExactKind::Money        ? BaseType::Money
             : d->kind == ExactKind::SmallMoney ? BaseType::SmallMoney
                                                : BaseType::Decimal;
    t.precision = d->precision;
    t.scale = d->scale;
  } else if (const auto* b = std::get_if<Binary>(&in.value)) {
    t.base = BaseType::VarBinary;
    t.length = std::max<int>(1, static_cast<int>(b->bytes.size()));
  } else if (const auto* s = std::get_if<std::string>(&in.value)) {
    t.base = in.national ? BaseType::NVarChar : BaseType::VarChar;
    t.length = std::max<int>(1, static_cast<int>(Characters(*s)));
  }
  return t;
}

StoredValue Property(const SqlType& type, StoredValue value) {
  return std::make_shared<const VariantValue>(VariantValue{type, std::move(value)});
}

// Two values of one family as the higher of their types.
int CompareWithin(const VariantValue& a, const VariantValue& b, const Collation& collation) {
  switch (FamilyOf(a.type.base)) {
    case Family::Approximate: {
      const double x = std::get<double>(a.value), y = std::get<double>(b.value);
      return x < y ? -1 : x > y ? 1 : 0;
    }
    case Family::Exact: {
      const auto exact = [](const StoredValue& v) {
        if (const auto* i = std::get_if<std::int64_t>(&v)) return DecimalFromInteger(*i);
        return std::get<Decimal>(v);
      };
      return Sign(CompareDecimal(exact(a.value), exact(b.value)));
    }
    case Family::Character:
      return Sign(
          collation.Compare(std::get<std::string>(a.value), std::get<std::string>(b.value)));
    case Family::Binary:
      return Sign(std::get<Binary>(a.value).bytes.compare(std::get<Binary>(b.value).bytes));
    case Family::UniqueIdentifier:
      return Sign(CompareUniqueIdentifierText(std::get<std::string>(a.value),
                                              std::get<std::string>(b.value)));
    case Family::DateTime: {
      // The lower type converts to the higher; their texts then sort as time.
      const bool aHigher = Position(a.type.base) <= Position(b.type.base);
      const SqlType& higher = aHigher ? a.type : b.type;
      StoredValue x = a.value, y = b.value;
      SqlError ignored;
      StoredValue converted;
      const VariantValue& lower = aHigher ? b : a;
      if (ConvertValue(SourceValue{lower.value, false}, higher, false, converted, ignored)) {
        (aHigher ? y : x) = converted;
      }
      return Sign(std::get<std::string>(x).compare(std::get<std::string>(y)));
    }
  }
  return 0;
}

}  // namespace

bool VariantHolds(const SqlType& type) {
  switch (type.base) {
    case BaseType::Text:
    case BaseType::NText:
    case BaseType::Image:
    case BaseType::Xml:
    case BaseType::Timestamp:
    case BaseType::SqlVariant:
      return false;
    default:
      return type.length >= 0;
  }
}

bool ToVariant(const SourceValue& in, const std::optional<SqlType>& type, StoredValue& out,
               SqlError& error) {
  if (std::holds_alternative<std::monostate>(in.value) ||
      std::holds_alternative<VariantPtr>(in.value)) {
    out = in.value;
    return true;
  }
  const SqlType base = type && type->base != BaseType::SqlVariant ? *type : InferredType(in);
  if (!VariantHolds(base)) {
    error = SqlErrorByNumber(206, {TypeText(base), "sql_variant"});
    return false;
  }
  StoredValue value;
  if (!ConvertValue(in, base, false, value, error)) return false;
  out = std::make_shared<const VariantValue>(VariantValue{base, std::move(value)});
  return true;
}

std::string EncodeVariant(const VariantValue& v) {
  std::string out(1, static_cast<char>(kVariantTag));
  out += static_cast<char>(static_cast<int>(v.type.base));
  PutInt64(out, static_cast<std::uint64_t>(static_cast<std::int64_t>(v.type.length)));
  out += static_cast<char>(v.type.precision);
  out += static_cast<char>(v.type.scale);
  if (const auto* i = std::get_if<std::int64_t>(&v.value)) {
    PutInt64(out, static_cast<std::uint64_t>(*i));
  } else if (const auto* f = std::get_if<double>(&v.value)) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, f, sizeof bits);
    PutInt64(out, bits);
  } else if (const auto* d = std::get_if<Decimal>(&v.value)) {
    out += EncodeDecimal(*d);
  } else if (const auto* b = std::get_if<Binary>(&v.value)) {
    out += b->bytes;
  } else if (const auto* s = std::get_if<std::string>(&v.value)) {
    out += *s;
  }
  return out;
}

bool DecodeVariant(const unsigned char* blob, std::size_t size, VariantPtr& out) {
  constexpr std::size_t kHead = 1 + 1 + 8 + 2;
  if (!blob || size < kHead || blob[0] != kVariantTag ||
      blob[1] > static_cast<int>(BaseType::SqlVariant)) {
    return false;
  }
  VariantValue v;
  v.type.base = static_cast<BaseType>(blob[1]);
  v.type.length = static_cast<int>(static_cast<std::int64_t>(GetInt64(blob + 2)));
  v.type.precision = blob[10];
  v.type.scale = blob[11];
  const unsigned char* payload = blob + kHead;
  const std::size_t n = size - kHead;
  if (StoresAsInteger(v.type)) {
    if (n != 8) return false;
    v.value = static_cast<std::int64_t>(GetInt64(payload));
  } else if (v.type.base == BaseType::Float || v.type.base == BaseType::Real) {
    if (n != 8) return false;
    const std::uint64_t bits = GetInt64(payload);
    double f = 0;
    std::memcpy(&f, &bits, sizeof f);
    v.value = f;
  } else if (StoresAsDecimal(v.type)) {
    Decimal d;
    if (!DecodeDecimal(payload, n, d)) return false;
    v.value = d;
  } else if (IsBinary(v.type.base)) {
    v.value = Binary{std::string(reinterpret_cast<const char*>(payload), n)};
  } else {
    v.value = std::string(reinterpret_cast<const char*>(payload), n);
  }
  out = std::make_shared<const VariantValue>(std::move(v));
  return true;
}

int CompareVariants(const VariantValue& a, const VariantValue& b, const Collation& collation) {
  const Family fa = FamilyOf(a.type.base), fb = FamilyOf(b.type.base);
  if (fa != fb) return fa < fb ? -1 : 1;
  return CompareWithin(a, b, collation);
}

bool VariantProperty(const VariantValue& value, std::string_view property,
                     const std::string& collation, StoredValue& out, SqlError& error) {
  const std::string name = ToUpperAscii(property);
  const SqlType& t = value.type;
  const SqlType integer{BaseType::Int, 0, 0, 0};
  const SqlType sysname{BaseType::NVarChar, 128, 0, 0};
  if (name == "BASETYPE") {
    out = Property(sysname, std::string(TypeName(t.base)));
  } else if (name == "PRECISION") {
    const bool counted = !IsCharacter(t.base) && !IsBinary(t.base);
    out = Property(integer, std::int64_t{counted ? TypePrec(t) : 0});
  } else if (name == "SCALE") {
    out = Property(integer, std::int64_t{TypeXscale(t)});
  } else if (name == "COLLATION") {
    out = IsCharacter(t.base) ? Property(sysname, collation) : StoredValue{};
  } else if (name == "MAXLENGTH") {
    out = Property(integer, std::int64_t{TypeStorageLength(t)});
  } else if (name == "TOTALBYTES") {
    error = SqlError{0, NotSupported("SQL_VARIANT_PROPERTY(…, 'TotalBytes')")};
    return false;
  } else {
    out = StoredValue{};
  }
  return true;
}

}  // namespace moltaro::db::embedded
