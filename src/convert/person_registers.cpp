#include "convert/person_registers.h"

#include <cstdint>
#include <exception>
#include <iterator>
#include <optional>
#include <string>

#include "common/text.h"
#include "convert/insert_row.h"
#include "convert/person_lookup.h"
#include "convert/person_record.h"
#include "convert/value_rules.h"

namespace moltaro::convert {
namespace {

constexpr std::string_view kEightBlanks = "        ";

// A birth date left blank is taken as the first day of 2000.
std::string BirthDate(const std::string& field) {
  return field == kEightBlanks ? "2000.01.01" : DateRule(field);
}

// The fund membership type: a digit, blank or sign (anything below "A",
// the empty text of a short record included) is kept as it stands; a letter
// means type 1.
db::Value MembershipType(const std::string& field) {
  if (field.empty() || static_cast<unsigned char>(field.front()) < 'A') return field;
  return std::int64_t{1};
}

}  // namespace

void ImportCsp(ConvertContext& context, const LegacyRecord& record) {
  const std::optional<std::string> person = DrawIdAndFindPerson(context, record);
  if (!person) return;
  InsertRow(context, "insert into  zmp_csp( ",
            {
                {"ID", std::to_string(context.CurrentRecordId())},
                {"SZEM_ID", *person},
                {"NEV", record.Field(12, 50)},
                {"TAJSZAM", record.Field(62, 9)},
                {"SZULDAT", BirthDate(record.Field(71, 8))},
                {"KOD", record.Field(79, 1)},
                {"VER", DecimalRule(record.Field(80, 6), 6)},
            });
}

void ImportPszlatuk(ConvertContext& context, const LegacyRecord& record) {
  const std::int64_t id = context.DrawRecordId();
  InsertRow(context, "insert into  zmp_pszlatuk( ",
            {
                {"SZLASZAM", record.Field(1, 9)},
                {"SZOVEG", record.Field(10, 50)},
                {"ID", std::to_string(id)},
            });
}

void ImportKjt(ConvertContext& context, const LegacyRecord& record) {
  const std::optional<std::string> person = DrawIdAndFindPerson(context, record);
  if (!person) return;
  RowValues row{
      {"SZEM_ID", *person},
      {"JOGCIM", record.Field(12, 3)},
      {"KEZELES", record.Field(44, 3)},
      {"OSSZEG", record.Field(47, 6)},
      {"SZAZ", DecimalRule(record.Field(53, 6), 6)},
      {"KERET", TextValue("0")},
      {"HATRALEK", TextValue("0")},
  };
  // One flag a month, January to December, at 59 to 70.
  static constexpr std::string_view kMonthFlags[] = {"A1", "A2", "A3", "A4",  "A5",  "A6",
                                                     "A7", "A8", "A9", "A10", "A11", "A12"};
  for (std::size_t month = 0; month < std::size(kMonthFlags); ++month) {
    row.push_back({kMonthFlags[month], record.Field(59 + month, 1)});
  }
  row.push_back({"VER", TextValue("1,01")});
  row.push_back({"KEZELO", TextValue("")});
  row.push_back({"ID", std::to_string(context.CurrentRecordId())});
  InsertRow(context, "insert into  zmp_kjt( ", row);
}

void ImportPtag(ConvertContext& context, const LegacyRecord& record) {
  const std::optional<std::string> person = DrawIdAndFindPerson(context, record);
  if (!person) return;
  const db::Value type = MembershipType(record.Field(12, 1));
  const std::string joined = BlankDateRule(record.Field(34, 8));
  const std::string left = BlankDateRule(record.Field(42, 8));
  const std::string id = std::to_string(context.CurrentRecordId());
  const RowValues row{
      {"SZEMELY", record.Field(1, 11)},
      {"TIP", type},
      {"JVK", record.Field(13, 2)},
      {"PENZTAR", record.Field(15, 4)},
      {"KOD", record.Field(19, 15)},
      {"BELEP", joined},
      {"KILEP", left},
      {"ID", id},
      {"OSSZEG", record.Field(68, 10)},
      {"RSORSZ", TextValue("0")},
      {"VER", TextValue("1,01")},
      {"SZEM_ID", *person},
      {"ELSO", TextValue("0")},
      {"CRD", context.NowText()},
      {"CRU", context.UserIdText()},
  };
  const std::string statement = InsertText("insert into  zmp_ptag( ", row);
  try {
    context.Execute(statement, InsertParams(row));
  } catch (const std::exception&) {
    // A membership the server refuses is shown value by value and left out;
    // the other memberships of the file still go in.
    for (const std::string& text :
         {*person, statement, record.Text(), db::ToText(type), record.Field(13, 2),
          record.Field(15, 4), record.Field(19, 15), joined, left, id, record.Field(68, 10)}) {
      context.ShowMessage(text);
    }
  }
}

void ImportBelap(ConvertContext& context, const LegacyRecord& record) {
  // The pay sheet lines draw no identifier, so an unknown person costs none.
  const std::string person = Trim(PersonId(context, record.Field(1, 11)).value_or("0"));
  if (person == "0") return;
  InsertRow(context, "insert into  zmp_belap( ",
            {
                {"szem_id", person},
                {"ev", TextValue(kConvertedYear)},
                {"rtip", record.Field(12, 1)},
                {"sor", record.Field(13, 3)},
                {"ho", TextValue("0")},
                {"osszeg_a", record.Field(18, 8)},
                {"osszeg_b", record.Field(26, 8)},
                {"osszeg_c", record.Field(34, 8)},
                {"osszeg_d", record.Field(42, 8)},
                {"ver", TextValue("1.01")},
                {"crd", context.NowText(), "xcrd"},
                {"cru", context.UserIdText(), "xcru"},
            });
}

void ImportUtalas(ConvertContext& context, const LegacyRecord& record) {
  const std::optional<std::string> person = DrawIdAndFindPerson(context, record);
  if (!person) return;
  InsertRow(context, "insert into  zmp_utalas( ",
            {
                {"SZEM_ID", *person},
                {"KOD", record.Field(1, 11)},
                {"NEV", record.Field(18, 30)},
                {"ACIMI", record.Field(48, 4)},
                {"ACIMV", record.Field(52, 20)},
                {"ACIMU", record.Field(72, 30)},
                {"BSZAM", record.Field(102, 24)},
                {"SZOVEG", record.Field(126, 20)},
                {"ID", context.CurrentRecordId()},
                {"BANK", TextValue("1")},
                {"CRD", context.NowText()},
                {"CRU", context.UserIdText()},
            });
}

}  // namespace moltaro::convert
