#include "engine/version_check.h"

#include <cctype>
#include <vector>

#include "common/codepage.h"
#include "common/regional.h"
#include "common/text.h"
#include "engine/record_field.h"
#include "engine/version_file.h"

namespace moltaro::engine {

namespace {
constexpr const char* kInstalledVersionQuery = "select SZAM, DATUM from ZMP_OBJ_VER";

// The runs of digits in a text, as numbers (at most `limit` of them).
std::vector<int> NumbersIn(std::string_view text, std::size_t limit) {
  std::vector<int> numbers;
  std::size_t at = 0;
  while (at < text.size() && numbers.size() < limit) {
    if (!std::isdigit(static_cast<unsigned char>(text[at]))) {
      ++at;
      continue;
    }
    long value = 0;
    while (at < text.size() && std::isdigit(static_cast<unsigned char>(text[at]))) {
      if (value < 100000) value = value * 10 + (text[at] - '0');
      ++at;
    }
    numbers.push_back(static_cast<int>(value));
  }
  return numbers;
}
}  // namespace

bool IsNewerVersion(std::string_view installed, std::string_view offered) {
  // std::string compares bytes as unsigned characters, which is code order.
  return Utf8ToCp1250(installed) < Utf8ToCp1250(offered);
}

std::string AlreadyInstalledMessage(std::string_view installed, std::string_view installedAt) {
  return "A(z) \"" + std::string(installed) + "\" verziót már " + std::string(installedAt) +
         " telepítette !";
}

std::string ServerDateTimeText(const db::Value& value) {
  const std::string text = db::ToText(value);
  // Servers hand datetimes over as "yyyy-mm-dd hh:mm:ss[.fff]" or similar.
  const std::vector<int> parts = NumbersIn(text, 6);
  if (parts.size() < 3 || parts[0] < 1000 || parts[1] < 1 || parts[1] > 12 || parts[2] < 1 ||
      parts[2] > 31) {
    return text;
  }
  LocalMoment moment;
  moment.year = parts[0];
  moment.month = parts[1];
  moment.day = parts[2];
  if (parts.size() >= 5) {
    moment.hour = parts[3];
    moment.minute = parts[4];
    if (parts.size() >= 6) moment.second = parts[5];
  }
  return NowText(moment);
}

bool CheckVersion(RunContext& run, std::string_view header, std::string_view trailer) {
  if (header != trailer) {
    run.state.LastError = kFaultyVersionFile;
    run.WriteLog(kFaultyVersionFile);
    return false;
  }
  const std::string offered = RecordField(header, 3);
  if (const auto fault = VersionNumberFault(offered)) {
    // Recording such a version would fail only after the whole upgrade had
    // run, or would leave the instance looking not installed.
    run.state.LastError = FaultyLineMessage(1, *fault, header);
    run.WriteLog(run.state.LastError);
    return false;
  }
  const db::ResultSet installed = run.dbCel->Query(kInstalledVersionQuery);
  const std::string szam = installed.Text("SZAM");
  if (!Trim(szam).empty()) {
    if (IsNewerVersion(szam, offered)) {
      run.state.NewVersion = offered;
      return true;
    }
    run.state.LastError =
        AlreadyInstalledMessage(szam, ServerDateTimeText(installed.Field("DATUM")));
    run.WriteLog(run.state.LastError);
    return false;
  }
  run.state.NewVersion = offered;
  return true;
}

}  // namespace moltaro::engine
