// Column definition texts: the unit the table phase creates, compares and
// alters. Both sides build "name type NOT NULL|NULL"; the catalogue side adds
// " default " and its default expression.
#pragma once

#include <cstdint>
#include <string>

#include "engine/run_context.h"

namespace moltaro::engine {

// Type text of a catalogue column (its `tipus` with `hossz` and `tizedes`).
// Both varchar (167) and nvarchar (231) read "Nvarchar(n)". Unknown codes
// give an empty text.
std::string CatalogueTypeText(std::int64_t tipus, std::int64_t hossz, std::int64_t tizedes);

// Type text of a target column from the server's syscolumns.
std::string TargetTypeText(std::int64_t xtype, std::int64_t length, std::int64_t prec,
                           std::int64_t xprec, std::int64_t xscale);

// A catalogue column's definition in its two parts, so the table phase can
// compare a column without its default clause whatever the column is called.
struct CatalogueColumn {
  std::string name;           // trimmed
  std::string definition;     // name, type and nullability
  std::string defaultClause;  // " default " and the expression, or empty

  std::string Full() const { return definition + defaultClause; }
};

CatalogueColumn ComposeCatalogueColumn(const std::string& nev, const std::string& typeText,
                                       bool notNull, const std::string& deflt);

// Reads ZMP_OBJ_GYEREK row `childId` over dbForras.
CatalogueColumn CatalogueColumnDefinition(RunContext& run, std::int64_t childId);

// Reads syscolumns over dbCel: "name type NOT NULL|NULL" (NOT NULL when
// `typestat` is odd).
std::string TargetColumnDefinition(RunContext& run, std::int64_t objectId, std::int64_t colid);

}  // namespace moltaro::engine
