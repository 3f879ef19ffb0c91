// Databases written before exact numbers were exact hold their decimal,
// numeric, money and smallmoney values as SQLite REALs; mixed with exact
// values, a column would sort and compare its rows in two separate groups.
#pragma once

namespace moltaro::db::embedded {

class Catalog;

// Rewrites such values once per database, exactly as an UPDATE would store
// them (the REAL's shortest digits, rounded to the column's scale). A
// database that is locked or fails is left for the next opening.
void ConvertLegacyExactValues(Catalog& catalog);

}  // namespace moltaro::db::embedded
