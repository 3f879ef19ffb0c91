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
      {1, "ypjt.txt", true, ImportPayrollItemType, false, false, false},
      {2, "ypszt.txt", true, ImportPerson, false, false, false},
      {3, "ypsztsz.txt", true, UpdatePersonDetails, false, true, false},
      {4, "ypjogc.txt", false, ImportPayrollItem, false, false, false},
      {5, "ypcsp.txt", true, ImportCsp, false, true, false},
      {6, "yptuk.txt", true, ImportPszlatuk, false, false, false},
      {7, "ypkj.txt", false, ImportKjt, false, true, false},
      {8, "yptag.txt", true, ImportPtag, false, true, false},
      {9, "ynaplo.txt", true, ImportNaplo, false, false, false},
      {10, "ypuy.txt", true, ImportPuy, false, false, false},
      {11, "ypszak.txt", true, ImportPszak, false, false, false},
      {12, "ypido.txt", true, ImportIdo, false, true, false},
      {13, "yptido.txt", true, ImportTido, false, true, false},
      {14, "yphavih.txt", true, ImportHavih, false, true, false},
      {15, "yphavi.txt", true, ImportHavi, false, true, false},
      {16, "ypkod.txt", true, ImportCompanyCode, true, false, false},
      {17, "ybelap9.txt", true, ImportBelap, false, true, false},
      {18, "yput.txt", true, ImportUtalas, false, true, false},
      {19, "ypsztsz.txt", false, UpdateKszt2Tax, false, true, true},
  }};
  return steps;
}

std::string DeletedTable(std::string_view statement) {
  constexpr std::string_view prefix = "delete from ";
  if (statement.substr(0, prefix.size()) == prefix) statement.remove_prefix(prefix.size());
  return std::string(statement.substr(0, statement.find(' ')));
}

}  // namespace moltaro::convert
