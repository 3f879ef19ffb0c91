// The value rules shared by the importers of legacy records. Texts are UTF-8
// fields as LegacyRecord::Field cuts them; positions count characters.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "db/value.h"

namespace moltaro::convert {

// YYYYMMDD to YYYY.MM.DD, unchecked: a shorter text gives a shorter result
// (the empty text gives "..").
std::string DateRule(std::string_view yyyymmdd);

// Eight blanks mean "no date", stored as 9999.12.31; anything else (a field
// cut short included) goes through DateRule.
std::string BlankDateRule(std::string_view field);

// "T" gives "I"; anything else, a missing character included, gives "N".
std::string TFlagRule(std::string_view field);

// A number written with a decimal point, bound as a floating-point value;
// NULL when the field has its full `width` and is all blanks. A text that is
// not a number throws ConvertError.
db::Value DecimalRule(std::string_view field, std::size_t width);

// Every "." replaced by ",": a decimal number in Hungarian notation, as text.
std::string CommaTextRule(std::string_view field);

// A number in Hungarian regional form: blanks around it, an optional sign,
// digits with at most one decimal comma, an optional exponent. Throws
// ConvertError otherwise.
double HungarianFloat(std::string_view text);

// An integer as the legacy programs read one: leading blanks, an optional
// sign, digits and nothing else. Throws ConvertError otherwise.
std::int64_t LegacyInteger(std::string_view text);

// True when the comma-separated `list` names `k` exactly (no blanks, no
// leading zeros): ",list," contains ",k,".
bool ListNames(std::string_view list, int k);

// 100 characters of "N", with "I" at the new time-data code of every legacy
// time code (1 to 46) the list names.
std::string TimeCodeFlags(std::string_view list);

// 250 characters of "_", with "I" at every position 1 to 250 the list names.
std::string NumberFlags(std::string_view list);

// The first `count` characters of `text` from 0-based character `start`.
std::string CharSlice(std::string_view text, std::size_t start, std::size_t count);

}  // namespace moltaro::convert
