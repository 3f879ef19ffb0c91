// FOR XML RAW, AUTO and PATH: which column becomes an element, an attribute
// or text of each row, and the row's element name. Decided once from the
// columns' names and types; the translator then writes the rows.
#include <cstdio>
#include <string>
#include <string_view>

#include "common/text.h"
#include "common/utf8.h"
#include "db/embedded/binder/binder.h"
#include "db/embedded/parser/tsql_parser.h"
#include "db/errors.h"

namespace moltaro::db::embedded {

namespace {

// The name of the column FOR XML returns its text in, as SQL Server names it.
constexpr const char* kXmlColumnName = "XML_F52E2B61-18A1-11d1-B105-00805F49916B";

// ASCII decides; every character beyond it (letters of any script, as
// SQL Server's names hold them) is taken as a name character.
bool IsNameCharacter(char32_t c, bool first) {
  if (c >= 0x80 || c == '_' || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
  return !first && ((c >= '0' && c <= '9') || c == '.' || c == '-');
}

// A column name as an XML name: characters a name cannot hold are written as
// _xHHHH_, as SQL Server writes them ("Order Date" is Order_x0020_Date).
std::string XmlName(std::string_view name) {
  std::string out;
  bool first = true;
  for (std::size_t i = 0; i < name.size();) {
    const std::size_t start = i;
    const char32_t c = DecodeUtf8(name, i);
    if (IsNameCharacter(c, first)) {
      out.append(name.substr(start, i - start));
    } else {
      char buffer[16];
      std::snprintf(buffer, sizeof buffer, "_x%04X_", static_cast<unsigned>(c));
      out += buffer;
    }
    first = false;
  }
  return out;
}

// Types whose XML form this server does not write as SQL Server does.
const char* UnwrittenType(const std::optional<SqlType>& type) {
  if (!type) return nullptr;
  switch (type->base) {
    case BaseType::Float:
    case BaseType::Real:
      return "float";
    case BaseType::Money:
    case BaseType::SmallMoney:
      return "money";
    case BaseType::Binary:
    case BaseType::VarBinary:
    case BaseType::Image:
      return "binary";
    default:
      return nullptr;
  }
}

}  // namespace

void Binder::BindForXml(const Select& select, BoundSelect& query) {
  using Mode = Select::ForXml::Mode;
  using As = BoundSelect::XmlColumn::As;
  const Select::ForXml& xml = *select.forXml;
  if (query.parts.size() > 1) {
    throw DatabaseError(NotSupported("FOR XML over UNION, EXCEPT or INTERSECT"));
  }
  const BoundSelectPart& part = query.parts.front();
  if (xml.mode == Mode::Auto) {
    int tables = 0;
    std::string name;
    ForEachTableSource(part.scope->sources, [&](const BoundSource& src) {
      ++tables;
      name = src.alias.empty() ? src.tableName : src.alias;
    });
    if (tables != 1) throw DatabaseError(NotSupported("FOR XML AUTO over more than one table"));
    query.xmlRow = XmlName(name);
  } else {
    query.xmlRow = XmlName(xml.rowName.value_or("row"));
  }
  for (std::size_t i = 0; i < query.output.size(); ++i) {
    const OutputColumn& column = query.output[i];
    const std::optional<SqlType>& type = query.castTo[i] ? query.castTo[i] : column.type;
    if (const char* unwritten = UnwrittenType(type)) {
      throw DatabaseError(NotSupported(std::string("FOR XML of a ") + unwritten + " column"));
    }
    BoundSelect::XmlColumn out;
    out.raw = type && type->base == BaseType::Xml;
    const std::string& name = column.name;
    if (xml.mode == Mode::Path) {
      if (name.empty() || name == "*" || EqualsIgnoreCaseAscii(name, "text()")) {
        out.as = As::Text;
      } else if (name.front() == '@') {
        // SQL Server refuses both; this server names the construct.
        if (query.xmlRow.empty()) {
          throw DatabaseError(NotSupported("FOR XML PATH('') with an attribute column"));
        }
        if (!query.xmlColumns.empty() && query.xmlColumns.back().as != As::Attribute) {
          throw DatabaseError(NotSupported("FOR XML PATH attribute column after an element"));
        }
        out.as = As::Attribute;
        out.name = XmlName(name.substr(1));
      } else if (name.find('/') != std::string::npos || name.find('(') != std::string::npos) {
        throw DatabaseError(NotSupported("FOR XML PATH column name '" + name + "'"));
      } else {
        out.as = As::Element;
        out.name = XmlName(name);
      }
    } else {
      if (name.empty()) {
        throw DatabaseError(NotSupported("FOR XML RAW or AUTO of a column without a name"));
      }
      out.as = out.raw ? As::Text : xml.elements ? As::Element : As::Attribute;
      out.name = XmlName(name);
    }
    query.xmlColumns.push_back(std::move(out));
  }
  if (xml.root) query.xmlRoot = XmlName(xml.root->empty() ? "root" : *xml.root);
  query.rowOutput = std::move(query.output);
  OutputColumn text;
  text.name = kXmlColumnName;
  text.cls = ValueClass::Text;
  text.type = xml.type ? SqlType{BaseType::Xml, -1, 0, 0} : SqlType{BaseType::NVarChar, -1, 0, 0};
  query.output = {text};
}

}  // namespace moltaro::db::embedded
