// The pieces FOR XML writes its rows with, and the string value an xml
// method call reads back out of such a text.
#pragma once

#include <string>
#include <string_view>

struct sqlite3;

namespace moltaro::db::embedded {

// Text as XML character data; in an attribute quotes and white space other
// than blanks are escaped too.
std::string XmlEscape(std::string_view text, bool attribute);

// The string value of an XML text: its character data in document order,
// the entities read back.
std::string XmlStringValue(std::string_view xml);

// The first text node at the top of an XML text (outside every element),
// entities read back; false when there is none.
bool XmlFirstTopLevelText(std::string_view xml, std::string& text);

// tsql_xml_text(value, raw), tsql_xml_element(name, value, raw),
// tsql_xml_attribute(name, value), tsql_xml_row(name, attributes, content),
// tsql_xml_root(name, rows), tsql_xml_string(xml), tsql_xml_first_text(xml).
void RegisterXmlFunctions(sqlite3* db);

}  // namespace moltaro::db::embedded
