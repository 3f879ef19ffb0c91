#include "instances/new_company_dialog.h"

#include "common/text.h"

namespace moltaro::instances {

namespace {
bool LongEnough(const std::string& text) {
  return Utf8Length(text) > kMinimumNameLength;
}
}  // namespace

void TfrmDBBe::SetRendbenEnabled(bool enabled) {
  rendbenEnabled_ = enabled;
  view_.SetRendbenEnabled(enabled);
}

void TfrmDBBe::ResetFields() {
  result_.clear();
  cegnev_.clear();
  database_.clear();
  confirmed_ = false;
  view_.SetFields(cegnev_, database_);
  SetRendbenEnabled(false);
}

bool TfrmDBBe::ShowModal() {
  confirmed_ = false;
  view_.ShowModal(*this);
  return confirmed_;
}

void TfrmDBBe::eCegnevChange(const std::string& text) {
  cegnev_ = Utf8Left(text, kNewCompanyFieldLength);
  SetRendbenEnabled(LongEnough(cegnev_));
}

void TfrmDBBe::eDatabaseChange(const std::string& text) {
  database_ = Utf8Left(text, kNewCompanyFieldLength);
  SetRendbenEnabled(LongEnough(database_));
}

void TfrmDBBe::bRendbenClick() {
  if (!rendbenEnabled_) return;
  result_ = database_;
  confirmed_ = true;
}

void TfrmDBBe::bMegsemClick() {
  result_.clear();
  confirmed_ = false;
}

}  // namespace moltaro::instances
