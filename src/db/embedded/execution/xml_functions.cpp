#include "db/embedded/execution/xml_functions.h"

#include <sqlite3.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "common/utf8.h"
#include "db/embedded/storage/sqlite_values.h"

namespace moltaro::db::embedded {

namespace {

std::string CharacterReference(char32_t c) {
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "&#x%02X;", static_cast<unsigned>(c));
  return buffer;
}

std::string Text(sqlite3_value* v) {
  const auto* p = reinterpret_cast<const char*>(sqlite3_value_text(v));
  return p ? std::string(p, static_cast<std::size_t>(sqlite3_value_bytes(v))) : std::string();
}

void ResultText(sqlite3_context* ctx, const std::string& s) {
  sqlite3_result_text(ctx, s.data(), static_cast<int>(s.size()), SQLITE_TRANSIENT);
}

// The value as written into the row: escaped, or as it is when it is xml.
std::string Content(sqlite3_value* value, sqlite3_value* raw) {
  const std::string text = Text(value);
  return sqlite3_value_int(raw) ? text : XmlEscape(text, false);
}

void TextFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return ResultText(ctx, "");
  ResultText(ctx, Content(argv[0], argv[1]));
}

void ElementFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[1]) == SQLITE_NULL) return ResultText(ctx, "");
  const std::string name = Text(argv[0]);
  ResultText(ctx, "<" + name + ">" + Content(argv[1], argv[2]) + "</" + name + ">");
}

void AttributeFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[1]) == SQLITE_NULL) return ResultText(ctx, "");
  ResultText(ctx, " " + Text(argv[0]) + "=\"" + XmlEscape(Text(argv[1]), true) + "\"");
}

void RowFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  const std::string name = Text(argv[0]);
  const std::string attributes = Text(argv[1]);
  const std::string content = Text(argv[2]);
  if (content.empty()) return ResultText(ctx, "<" + name + attributes + "/>");
  ResultText(ctx, "<" + name + attributes + ">" + content + "</" + name + ">");
}

void RootFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[1]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  const std::string name = Text(argv[0]);
  ResultText(ctx, "<" + name + ">" + Text(argv[1]) + "</" + name + ">");
}

void StringValueFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL) return sqlite3_result_null(ctx);
  ResultText(ctx, XmlStringValue(Text(argv[0])));
}

void FirstTextFn(sqlite3_context* ctx, int, sqlite3_value** argv) {
  std::string text;
  if (sqlite3_value_type(argv[0]) == SQLITE_NULL || !XmlFirstTopLevelText(Text(argv[0]), text)) {
    return sqlite3_result_null(ctx);
  }
  ResultText(ctx, text);
}

// The character an entity or character reference stands for; false when
// `entity` (without & and ;) is none of them.
bool ReadEntity(std::string_view entity, std::string& out) {
  if (entity == "amp") return out += '&', true;
  if (entity == "lt") return out += '<', true;
  if (entity == "gt") return out += '>', true;
  if (entity == "quot") return out += '"', true;
  if (entity == "apos") return out += '\'', true;
  if (entity.size() < 2 || entity[0] != '#') return false;
  const bool hex = entity[1] == 'x' || entity[1] == 'X';
  const std::string digits(entity.substr(hex ? 2 : 1));
  if (digits.empty()) return false;
  char* end = nullptr;
  const unsigned long code = std::strtoul(digits.c_str(), &end, hex ? 16 : 10);
  if (*end != '\0' || code > 0x10FFFF) return false;
  AppendUtf8(out, static_cast<char32_t>(code));
  return true;
}

}  // namespace

std::string XmlEscape(std::string_view text, bool attribute) {
  std::string out;
  out.reserve(text.size());
  for (char c : text) {
    switch (c) {
      case '&':
        out += "&amp;";
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += attribute ? "&quot;" : "\"";
        break;
      // SQL Server's own spellings: "&#xD;" in an attribute, "&#x0D;" in
      // an element's text (where tabs and line feeds stay as they are).
      case '\r':
        out += attribute ? "&#xD;" : "&#x0D;";
        break;
      case '\n':
        out += attribute ? "&#xA;" : "\n";
        break;
      case '\t':
        out += attribute ? "&#x09;" : "\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20) {
          out += CharacterReference(static_cast<unsigned char>(c));
        } else {
          out += c;
        }
    }
  }
  return out;
}

std::string XmlStringValue(std::string_view xml) {
  std::string out;
  for (std::size_t i = 0; i < xml.size();) {
    const char c = xml[i];
    if (c == '<') {
      const std::size_t end = xml.find('>', i);
      if (end == std::string_view::npos) break;
      i = end + 1;
      continue;
    }
    if (c == '&') {
      const std::size_t end = xml.find(';', i);
      if (end != std::string_view::npos && ReadEntity(xml.substr(i + 1, end - i - 1), out)) {
        i = end + 1;
        continue;
      }
    }
    out += c;
    ++i;
  }
  return out;
}

bool XmlFirstTopLevelText(std::string_view xml, std::string& text) {
  int depth = 0;
  bool found = false;
  for (std::size_t i = 0; i < xml.size();) {
    if (xml[i] == '<') {
      const std::size_t end = xml.find('>', i);
      if (end == std::string_view::npos) break;
      if (found && depth == 0) break;  // the first text node ends here
      const std::string_view tag = xml.substr(i, end - i + 1);
      if (tag.starts_with("</")) {
        --depth;
      } else if (!tag.ends_with("/>") && !tag.starts_with("<?") && !tag.starts_with("<!")) {
        ++depth;
      }
      i = end + 1;
      continue;
    }
    const std::size_t next = std::min(xml.find('<', i), xml.size());
    if (depth == 0) {
      text += XmlStringValue(xml.substr(i, next - i));
      found = true;
    }
    i = next;
  }
  return found;
}

void RegisterXmlFunctions(sqlite3* db) {
  RegisterScalar(db, "tsql_xml_text", 2, TextFn);
  RegisterScalar(db, "tsql_xml_element", 3, ElementFn);
  RegisterScalar(db, "tsql_xml_attribute", 2, AttributeFn);
  RegisterScalar(db, "tsql_xml_row", 3, RowFn);
  RegisterScalar(db, "tsql_xml_root", 2, RootFn);
  RegisterScalar(db, "tsql_xml_string", 1, StringValueFn);
  RegisterScalar(db, "tsql_xml_first_text", 1, FirstTextFn);
}

}  // namespace moltaro::db::embedded
