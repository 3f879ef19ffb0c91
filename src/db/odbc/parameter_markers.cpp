#include "db/odbc/parameter_markers.h"

#include "db/embedded/parser/tsql_tokenizer.h"
#include "db/errors.h"

namespace moltaro::db::odbc {

MarkedStatement MarkParameters(std::string_view sql) {
  std::vector<embedded::Token> tokens;
  try {
    tokens = embedded::Tokenize(sql);
  } catch (const DatabaseError&) {
    return {std::string(sql), {}};
  }
  MarkedStatement out;
  out.text.reserve(sql.size());
  std::size_t copied = 0;
  for (const embedded::Token& token : tokens) {
    if (token.kind != embedded::TokenKind::Parameter) continue;
    out.text.append(sql.substr(copied, token.offset - copied));
    out.text += '?';
    out.names.push_back(token.text);
    copied = token.end;
  }
  out.text.append(sql.substr(copied));
  return out;
}

}  // namespace moltaro::db::odbc
