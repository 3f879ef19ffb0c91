// sql_variant values: a value that keeps the type it was given. Inside
// SQLite one is a BLOB whose first byte is kVariantTag (no exact number or
// binary value starts so), then the base type and its size, then the value
// as its own type keeps it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "db/embedded/types/collation.h"
#include "db/embedded/types/sql_types.h"

namespace moltaro::db::embedded {

inline constexpr unsigned char kVariantTag = 0x50;

// Whether a value of the type can be held: not text, ntext, image, xml,
// timestamp, the max types or sql_variant itself.
bool VariantHolds(const SqlType& type);

// The value as a sql_variant of base type `type`, or, where the statement
// cannot tell the type, of the type its value shows (int or bigint, float,
// varchar or nvarchar of its length, decimal of its digits, varbinary).
// NULL stays NULL and a sql_variant stays as it is; a type it cannot hold
// is 206.
bool ToVariant(const SourceValue& in, const std::optional<SqlType>& type, StoredValue& out,
               SqlError& error);

std::string EncodeVariant(const VariantValue& value);
bool DecodeVariant(const unsigned char* blob, std::size_t size, VariantPtr& out);

// SQL Server's comparison of two sql_variant values: of different families
// (date and time > approximate numbers > exact numbers > character >
// binary > uniqueidentifier) the higher family is the greater; within one,
// the value of the lower type converts to the other's and they compare as
// that type, text in `collation`.
int CompareVariants(const VariantValue& a, const VariantValue& b, const Collation& collation);

// SQL_VARIANT_PROPERTY: BaseType, Precision, Scale, Collation, MaxLength;
// NULL for another name. TotalBytes (SQL Server's own storage size) is
// refused in `error`.
bool VariantProperty(const VariantValue& value, std::string_view property,
                     const std::string& collation, StoredValue& out, SqlError& error);

}  // namespace moltaro::db::embedded
