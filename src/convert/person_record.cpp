#include "convert/person_record.h"

#include "convert/person_lookup.h"

namespace moltaro::convert {

std::optional<std::string> DrawIdAndFindPerson(ConvertContext& context,
                                               const LegacyRecord& record) {
  context.DrawRecordId();
  return PersonId(context, record.Field(1, 11));
}

}  // namespace moltaro::convert
