// Arbitrary bytes as a legacy export file: the reader, field cutting and every
// value rule must either give a value or throw ConvertError; never crash,
// never hand back a flag string of the wrong length.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "convert/convert_error.h"
#include "convert/legacy_file.h"
#include "convert/person_lookup.h"
#include "convert/value_rules.h"

namespace {

using namespace moltaro::convert;

template <typename Rule>
void Tolerate(Rule rule) {
  try {
    rule();
  } catch (const ConvertError&) {
  }
}

void Exercise(const LegacyRecord& record) {
  // The first byte of the record picks a field, so the fuzzer reaches every
  // position and length, including those past the end.
  const std::size_t pos = record.Length() == 0 ? 1 : static_cast<unsigned char>(record.Bytes()[0]);
  const std::size_t len = record.Length() < 2 ? 8 : static_cast<unsigned char>(record.Bytes()[1]);
  const std::string field = record.Field(pos, len);
  if (field.size() > len * 3) std::abort();  // one Windows-1250 byte is at most 3 UTF-8 bytes
  const std::string text = record.Text();
  BlankDateRule(field);
  DateRule(text);
  TFlagRule(field);
  CommaTextRule(field);
  const std::string numbers = NumberFlags(text);
  if (TimeCodeFlags(text).size() != 100 || numbers.size() != 250) std::abort();
  if (text.size() < 64) {  // the flags must agree with the plain ",list," search
    for (int k = 1; k <= 250; ++k) {
      if ((numbers[static_cast<std::size_t>(k - 1)] == 'I') != ListNames(text, k)) std::abort();
    }
  }
  Tolerate([&] { DecimalRule(field, len); });
  Tolerate([&] { LegacyInteger(field); });
  Tolerate([&] { PersonCodeNumber(record.Field(1, 11)); });
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  for (const bool converted : {true, false}) {
    const LegacyFile file = SplitLegacyText(bytes, converted);
    if (file.records.size() + (file.lineCount > 0 ? 1 : 0) != file.lineCount) std::abort();
    for (const LegacyRecord& record : file.records) Exercise(record);
  }
  return 0;
}
