#include "convert/person_lookup.h"

#include <charconv>

#include "convert/convert_error.h"

namespace moltaro::convert {

std::int64_t PersonCodeNumber(std::string_view code) {
  std::string_view digits = code;
  while (!digits.empty() && digits.front() == ' ') digits.remove_prefix(1);
  while (!digits.empty() && digits.back() == ' ') digits.remove_suffix(1);
  std::int64_t number = 0;
  const bool plain = !digits.empty() && digits.find_first_not_of("0123456789") == digits.npos;
  if (plain) {
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), number);
    if (error == std::errc() && end == digits.data() + digits.size()) return number;
  }
  throw ConvertError("A személykód nem szám: \"" + std::string(code) + "\"");
}

db::ResultSet SelectPerson(ConvertContext& context, std::string_view columns,
                           std::string_view code) {
  const std::int64_t number = PersonCodeNumber(code);
  // The column is text; converting it, not the value, keeps "00012345678"
  // and "   12345678" the same person, as the comparison always did.
  return context.Query(
      "select " + std::string(columns) + " from zmp_kszt where cast(szemely as bigint) = :x00",
      {number});
}

std::optional<std::string> PersonId(ConvertContext& context, std::string_view code) {
  const db::ResultSet person = SelectPerson(context, "szem_id", code);
  if (person.IsNull("szem_id")) return std::nullopt;
  return person.Text("szem_id");
}

std::int64_t PersonCount(ConvertContext& context, std::string_view code) {
  return SelectPerson(context, "count(*) db", code).Integer("db");
}

}  // namespace moltaro::convert
