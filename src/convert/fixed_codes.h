// The fixed code lists (zmp_kodtar) and entries (zmp_kod) of every converted
// company, in the order they are written. Texts are kept exactly, trailing
// blanks included.
#pragma once

#include <vector>

namespace moltaro::convert {

struct FixedCodeList {
  const char* tipus;
  const char* nev;
  long id;
  const char* lathato;
};

struct FixedCode {
  int kod;
  const char* nev;
};

struct FixedCodeEntries {
  const char* tipus;
  bool idIsCode;  // the time-data list "I" files each entry under its code; the others under 0
  std::vector<FixedCode> entries;
};

const std::vector<FixedCodeList>& FixedCodeLists();
const std::vector<FixedCodeEntries>& FixedCodeEntryGroups();

}  // namespace moltaro::convert
