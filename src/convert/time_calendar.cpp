#include "convert/time_calendar.h"

#include <cstdint>
#include <optional>
#include <string>

#include "convert/insert_row.h"
#include "convert/person_record.h"
#include "convert/value_rules.h"

namespace moltaro::convert {
namespace {

// The legacy "worked" time code; its place in the new code list is 10.
constexpr std::string_view kLegacyWorkedCode = "  1";
constexpr std::int64_t kWorkedCode = 10;

db::Value Integer(const LegacyRecord& record, std::size_t pos, std::size_t len) {
  return LegacyInteger(record.Field(pos, len));
}

db::Value TimeCode(const std::string& code) {
  if (code == kLegacyWorkedCode) return kWorkedCode;
  return code;
}

}  // namespace

void ImportPszak(ConvertContext& context, const LegacyRecord& record) {
  const std::int64_t id = context.DrawRecordId();
  const auto text = [&record](std::size_t pos, std::size_t len) -> db::Value {
    return record.Field(pos, len);
  };
  // The file holds the months of the year in order, so the month is the line.
  // Every period belongs to the one calendar-based work schedule.
  InsertRow(context, "insert into  zmp_PSZAK( ",
            {
                {"EV", TextValue(kConvertedYear)},
                {"HO", std::to_string(record.LineNumber())},
                {"HONEV", text(1, 10)},
                {"HOHATAR", text(11, 3)},
                {"ROV", text(14, 6)},
                {"FELADVA", TFlagRule(record.Field(20, 1))},
                {"LEZARVA", TFlagRule(record.Field(21, 1))},
                {"MUNKAREND", text(22, 31)},
                {"NAPNM", text(53, 2)},
                {"NAPRM", text(55, 2)},
                {"NAPU", text(59, 2)},
                {"NAPP", text(57, 2)},
                {"NYUGJH", text(61, 5)},
                {"MINBER", text(66, 5)},
                {"JAR", TextValue("0")},
                {"ID", id},
                {"VER", db::Null()},
                {"AZONOSITO", std::int64_t{0}},
                {"AZONOSITO_NEV", TextValue("Naptár szerinti munkarend")},
            });
}

void ImportIdo(ConvertContext& context, const LegacyRecord& record) {
  const std::optional<std::string> person = DrawIdAndFindPerson(context, record);
  if (!person) return;
  InsertRow(context, "insert into  zmp_IDO( ",
            {
                {"SZEMELY", record.Field(1, 11)},
                {"SZEM_ID", *person},
                {"EV", std::int64_t{2009}},
                {"HONAP", Integer(record, 16, 2)},
                {"KIFSZ", Integer(record, 21, 3)},
                {"FOKIFSZ", Integer(record, 18, 3)},
                {"DATT", BlankDateRule(record.Field(24, 8))},
                {"DATI", BlankDateRule(record.Field(32, 8))},
                {"MUNKAREND", record.Field(40, 31)},
                {"NAPNM", Integer(record, 71, 2)},
                {"NAPRM", Integer(record, 73, 2)},
                {"NAPP", Integer(record, 75, 2)},
                {"NAPU", Integer(record, 77, 2)},
                {"ID", context.CurrentRecordId()},
                {"VER", db::Null()},
            });
}

void ImportTido(ConvertContext& context, const LegacyRecord& record) {
  const std::optional<std::string> person = DrawIdAndFindPerson(context, record);
  if (!person) return;
  InsertRow(context, "insert into  zmp_TIDO( ",
            {
                {"SZEMELY", record.Field(1, 11)},
                {"SZEM_ID", *person},
                {"EV", std::int64_t{2009}},
                {"HONAP", Integer(record, 16, 2)},
                {"KIFSZ", Integer(record, 21, 3)},
                {"FOKIFSZ", Integer(record, 18, 3)},
                {"TOL", Integer(record, 27, 2)},
                {"IG", Integer(record, 29, 2)},
                {"NAP1", Integer(record, 31, 3)},
                {"NAP2", Integer(record, 34, 3)},
                {"ORA", DecimalRule(record.Field(37, 6), 6)},
                {"SNAP", Integer(record, 43, 3)},
                {"SORA", DecimalRule(record.Field(46, 6), 6)},
                {"KEZELO", record.Field(53, 2)},
                {"DNAP", db::Null()},
                {"ID", context.CurrentRecordId()},
                {"AB", TextValue("A")},
                {"KOD", TimeCode(record.Field(24, 3))},
                {"CRD", context.NowText()},
                {"CRU", context.UserIdText()},
            });
}

}  // namespace moltaro::convert
