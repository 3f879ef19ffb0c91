// Finding the person row of zmp_kszt by the 11-character person code that
// person-related records carry.
//
// The code is compared as a number, so leading blanks and zeros do not
// matter; it is sent as a bound value, never pasted into the statement, and
// only a code that is a plain number is looked up at all.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "convert/convert_context.h"
#include "db/result_set.h"

namespace moltaro::convert {

// The number a person code stands for: blanks around digits, nothing else.
// Any other code throws ConvertError naming it.
std::int64_t PersonCodeNumber(std::string_view code);

// "select <columns> from zmp_kszt where" the person code matches `code`.
db::ResultSet SelectPerson(ConvertContext& context, std::string_view columns,
                           std::string_view code);

// SZEM_ID of the person, as text; nullopt when there is no such person.
std::optional<std::string> PersonId(ConvertContext& context, std::string_view code);

// How many person rows carry the code.
std::int64_t PersonCount(ConvertContext& context, std::string_view code);

}  // namespace moltaro::convert
