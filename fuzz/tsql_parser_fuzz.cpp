// Feeds arbitrary text to the T-SQL tokenizer and parser: they may refuse it
// with DatabaseError, never crash, hang or throw anything else.
#include <cstddef>
#include <cstdint>
#include <string_view>

#include "db/embedded/parser/tsql_parser.h"
#include "db/embedded/parser/tsql_tokenizer.h"
#include "db/errors.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view sql(reinterpret_cast<const char*>(data), size);
  try {
    moltaro::db::embedded::Tokenize(sql);
  } catch (const moltaro::db::DatabaseError&) {
  }
  try {
    moltaro::db::embedded::ParseBatch(sql);
  } catch (const moltaro::db::DatabaseError&) {
  }
  return 0;
}
