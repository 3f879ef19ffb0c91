// The fixed order of a conversion run and of its "Törlés": which export file
// each step reads, how, and into which importer; which tables are emptied.
#pragma once

#include <array>
#include <string>
#include <string_view>

#include "convert/import_record.h"

namespace moltaro::convert {

struct RunStep {
  int number;            // 1-based, as the step bar shows it
  const char* fileName;  // inside the source directory
  bool converted;        // code page 852 letters turned into Windows-1250
  Importer importer;
  bool seedsFixedCodes;       // the fixed code rows go in after the file is read
  bool skipsUnknownPerson;    // a record whose person (code at 1–11) is unknown writes nothing
  bool needsProcessingMonth;  // writes nothing until the settings named the month
};

// The nineteen steps in run order; ypsztsz.txt is read twice.
const std::array<RunStep, 19>& RunSteps();

// Removes the trailing blanks the address import leaves in ALLAMP.
inline constexpr const char* kCleanupSql = "update zmp_kszt set allamp = rtrim(allamp)";

// The instance schema's closing procedure and the year it is given.
inline constexpr const char* kClosingProcedure = "zmp_konvertalas_utan_fut1";
inline constexpr std::int64_t kClosingYear = 2009;

// Stamps the catalogue version after a run that went through.
inline constexpr const char* kVersionStampSql = "update zmp_obj_ver set szam = ' 3.33 '";

// The statements of "Törlés", in order. The settings keep the report
// directory, which the operator set and no export file holds. The last two
// take away the addresses and transfers of persons who are no longer there:
// the run writes them, and without this a run after "Törlés" would hold every
// one of them twice.
inline constexpr std::array<const char*, 22> kDeleteStatements{
    "delete from zmp_jt",
    "delete from zmp_kjt",
    "delete from zmp_csp",
    "delete from zmp_kszt",
    "delete from zmp_kszt2",
    "delete from zmp_kszt3",
    "delete from zmp_jogc",
    "delete from zmp_pszlatuk",
    "delete from zmp_ptag",
    "delete from zmp_naplo",
    "delete from zmp_puy where nev <> 'PWREPUT'",
    "delete from zmp_pszak",
    "delete from zmp_ido",
    "delete from zmp_tido",
    "delete from zmp_havih",
    "delete from zmp_havi",
    "delete from zmp_kod",
    "delete from zmp_kodtar",
    "delete from zmp_belap",
    "delete from zmp_pszab",
    "delete from zmp_cim where szem_id not in (select szem_id from zmp_kszt)",
    "delete from zmp_utalas where szem_id not in (select szem_id from zmp_kszt)",
};

// What the label shows for a delete statement: its table.
std::string DeletedTable(std::string_view statement);

}  // namespace moltaro::convert
