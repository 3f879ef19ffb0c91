#include "convert/convert_context.h"

#include "common/regional.h"
#include "common/text.h"
#include "startup/data_module.h"

namespace moltaro::convert {

ConvertContext::ConvertContext(db::Connection& work, MessageSink& messages)
    : work_(work), messages_(messages), nowText_([] { return moltaro::NowText(); }) {}

void ConvertContext::Execute(std::string_view sql, const db::Params& params) {
  if (guard_) guard_();
  work_.Execute(sql, params);
}

db::ResultSet ConvertContext::Query(std::string_view sql, const db::Params& params) {
  if (guard_) guard_();
  return work_.Query(sql, params);
}

std::int64_t ConvertContext::NextId() {
  // The allocator of the database being converted, not the login's default
  // database: identifiers must come from the sequence the rows live beside.
  if (guard_) guard_();
  return moltaro::NextId(work_);
}

std::int64_t ConvertContext::DrawRecordId() {
  currentRecordId_ = NextId();
  return currentRecordId_;
}

std::string ConvertContext::UserIdText() const {
  return moltaro::UserIdText();
}

}  // namespace moltaro::convert
