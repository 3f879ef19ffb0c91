#include "convert/run_steps.h"

#include "convert/code_tables.h"
#include "convert/payroll_item_types.h"
#include "convert/payroll_items.h"
#include "convert/payroll_results.h"
#include "convert/person_details.h"
#include "convert/person_master.h"
#include "convert/person_registers.h"
#include "convert/settings_journal.h"
#include "convert/time_calendar.h"

namespace moltaro::convert {

const std::array<RunStep, 19>& RunSteps() {
  // Persons come before everything that names one; the settings before the
  // second pass over ypsztsz.txt, which needs the processing month.
  static const std::array<RunStep, 19> steps{{
      {1, "ypjt.txt", true, ImportPayrollItemType, false, false},
      {2, "ypszt.txt", true, ImportPerson, false, false},
      {3, "ypsztsz.txt", true, UpdatePersonDetails, false, true},
      {4, "ypjogc.txt", false, ImportPayrollItem, false, true},
      {5, "ypcsp.txt", true, ImportCsp, false, true},
      {6, "yptuk.txt", true, ImportPszlatuk, false, false},
      {7, "ypkj.txt", false, ImportKjt, false, true},
      {8, "yptag.txt", true, ImportPtag, false, true},
      {9, "ynaplo.txt", true, ImportNaplo, false, false},
      {10, "ypuy.txt", true, ImportPuy, false, false},
      {11, "ypszak.txt", true, ImportPszak, false, false},
      {12, "ypido.txt", true, ImportIdo, false, true},
      {13, "yptido.txt", true, ImportTido, false, true},
      {14, "yphavih.txt", true, ImportHavih, false, true},
      {15, "yphavi.txt", true, ImportHavi, false, true},
      {16, "ypkod.txt", true, ImportCompanyCode, true, false},
      {17, "ybelap9.txt", true, ImportBelap, false, true},
      {18, "yput.txt", true, ImportUtalas, false, true},
      {19, "ypsztsz.txt", false, UpdateKszt2Tax, false, true},
  }};
  return steps;
}

std::string DeletedTable(std::string_view statement) {
  constexpr std::string_view prefix = "delete from ";
  if (statement.substr(0, prefix.size()) == prefix) statement.remove_prefix(prefix.size());
  return std::string(statement.substr(0, statement.find(' ')));
}

}  // namespace moltaro::convert
