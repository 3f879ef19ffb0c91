#include "convert/import_record.h"

#include <exception>
#include <string>

#include "convert/convert_error.h"

namespace moltaro::convert {

void ImportRecord(ConvertContext& context, const Importer& importer, std::string_view fileName,
                  const LegacyRecord& record) {
  try {
    importer(context, record);
  } catch (const std::exception& error) {
    throw ConvertError(std::string(fileName) + " " + std::to_string(record.LineNumber()) +
                       ". sora: " + error.what());
  }
}

}  // namespace moltaro::convert
