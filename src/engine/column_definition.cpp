#include "engine/column_definition.h"

#include "common/text.h"
#include "engine/db_values.h"

namespace moltaro::engine {

namespace {

constexpr const char* kCatalogueColumnQuery =
    "select ID, NEV, TIPUS, HOSSZ, TIZEDES, NOTNULL, DEFLT \r\n"
    "from ZMP_OBJ_GYEREK where ID=:xID";

constexpr const char* kTargetColumnQuery =
    "select a.id, a.name, a.xtype, a.typestat, a.length, a.prec, a.xprec, a.xscale,\r\n"
    "       a.colid, b.name bname\r\n"
    "  from dbo.syscolumns a, dbo.systypes b\r\n"
    " where a.xtype=b.xtype and a.id=:xid and a.colid=:xcolid";

std::string Number(std::int64_t value) {
  return std::to_string(value);
}

std::int64_t IntegerOrZero(const db::ResultSet& row, std::string_view column) {
  return WholeNumber(row, column);
}

}  // namespace

std::string CatalogueTypeText(std::int64_t tipus, std::int64_t hossz, std::int64_t tizedes) {
  switch (tipus) {
    case 48:
      return "TinyInt";
    case 56:
      return "Int";
    case 61:
      return "DateTime";
    case 106:
      return "Decimal(" + Number(hossz) + "," + Number(tizedes) + ")";
    case 108:
      return "Numeric(" + Number(hossz) + "," + Number(tizedes) + ")";
    case 167:
      return "Nvarchar(" + Number(hossz) + ")";
    case 175:
      return "Char(" + Number(hossz) + ")";
    case 231:
      return "Nvarchar(" + Number(hossz) + ")";
    default:
      return {};
  }
}

std::string TargetTypeText(std::int64_t xtype, std::int64_t length, std::int64_t prec,
                           std::int64_t xprec, std::int64_t xscale) {
  switch (xtype) {
    case 48:
      return "TinyInt";
    case 56:
      return "Int";
    case 61:
      return "DateTime";
    case 106:
      return "Decimal(" + Number(xprec) + "," + Number(xscale) + ")";
    case 108:
      return "Numeric(" + Number(xprec) + "," + Number(xscale) + ")";
    case 167:
      return "Varchar(" + Number(prec) + ")";
    case 175:
      return "Char(" + Number(length) + ")";
    case 231:
      return "Nvarchar(" + Number(prec) + ")";
    default:
      return {};
  }
}

CatalogueColumn ComposeCatalogueColumn(const std::string& nev, const std::string& typeText,
                                       bool notNull, const std::string& deflt) {
  CatalogueColumn column;
  column.name = Trim(nev);
  column.definition = column.name + " " + typeText + (notNull ? " NOT NULL" : " NULL");
  const std::string expression = Trim(deflt);
  if (!expression.empty()) column.defaultClause = " default " + expression;
  return column;
}

CatalogueColumn CatalogueColumnDefinition(RunContext& run, std::int64_t childId) {
  const db::ResultSet row = run.dbForras->Query(kCatalogueColumnQuery, {childId});
  return ComposeCatalogueColumn(
      row.Text("NEV"),
      CatalogueTypeText(IntegerOrZero(row, "TIPUS"), IntegerOrZero(row, "HOSSZ"),
                        IntegerOrZero(row, "TIZEDES")),
      row.Text("NOTNULL") == "I", row.Text("DEFLT"));
}

std::string TargetColumnDefinition(RunContext& run, std::int64_t objectId, std::int64_t colid) {
  const db::ResultSet row = run.dbCel->Query(kTargetColumnQuery, {objectId, colid});
  const bool notNull = IntegerOrZero(row, "typestat") % 2 != 0;
  return row.Text("name") + " " +
         TargetTypeText(IntegerOrZero(row, "xtype"), IntegerOrZero(row, "length"),
                        IntegerOrZero(row, "prec"), IntegerOrZero(row, "xprec"),
                        IntegerOrZero(row, "xscale")) +
         (notNull ? " NOT NULL" : " NULL");
}

}  // namespace moltaro::engine
