#include "instances/main_window.h"

#include <exception>

#include "db/value.h"

namespace moltaro::instances {

std::string DatabaseExistsMessage(const std::string& database) {
  return "A " + database + " adatbázis már létezik!!";
}

TfrmFo::TfrmFo(View& view, Operator& op, const ServerSettings& settings, MainWindowDialogs dialogs,
               engine::ValtDisplay& valtDisplay, MainWindowConnections connections,
               MainWindowLayout layout)
    : view_(view),
      operator_(op),
      settings_(settings),
      dialogs_(dialogs),
      layout_(layout),
      fraValt1_(valtDisplay, connections.engine),
      ADOConnection1_(connections.window()),
      adoVer_(connections.window()),
      ADOConnectionMaster_(connections.window()),
      actions_(InitialActions()) {}

bool TfrmFo::Report(const std::function<void()>& step) {
  try {
    step();
    return true;
  } catch (const std::exception& e) {
    operator_.ShowError(e.what());
    return false;
  }
}

void TfrmFo::FormCreate() {
  cache_.Clear();
  fraValt1_.FitToPanel();
  const engine::ControlRect& frame = fraValt1_.Layout().frame;
  framePlacement_ = PlaceValtFrame(layout_.clientWidth, layout_.clientHeight,
                                   FrameSize{frame.width, frame.height}, layout_.bValt);
  view_.PlaceFrame(framePlacement_);

  const bool connected =
      Report([this] { ADOConnection1_->Open(settings_.CommonConnectionString()); });

  // The listing mode does not depend on the connection, so it is settled
  // even when the common database could not be opened.
  if (settings_.IsSboCommon()) {
    listSql_ = kSboInstanceListSql;
  } else {
    listSql_ = kInstanceListSql;
    for (ActionId id : {ActionId::aMigrator, ActionId::aUni, ActionId::aUtca}) {
      MutableAction(id).enabled = false;
      MutableAction(id).visible = false;
    }
  }
  if (connected) {
    Report([this] { LoadInstances(); });
  }
  // The actions follow the current row even when nothing could be listed.
  dsPeldanyokDataChange();
}

void TfrmFo::OpenList() {
  qPeldanyok_ = ADOConnection1_->Query(listSql_);
  qPeldanyok_->First();
}

void TfrmFo::CloseList() {
  qPeldanyok_.reset();
  ListMoved();
}

void TfrmFo::ListMoved() {
  view_.ListChanged();
  view_.CurrentRowChanged(CurrentRow());
  dsPeldanyokDataChange();
}

void TfrmFo::LoadInstances() {
  try {
    qPeldanyok_.reset();
    OpenList();
    cache_.Restart();
    unreadable_.clear();
    for (; !qPeldanyok_->Eof(); qPeldanyok_->Next()) {
      const std::string database = qPeldanyok_->Text("DBNAME");
      cache_.Append(database, ReadVersion(database));
    }
    qPeldanyok_->First();
  } catch (...) {
    // The grid shows what is there now: no list when it could not be
    // opened, else the current row on the instance that failed.
    ListMoved();
    throw;
  }
  ListMoved();
}

std::string TfrmFo::ReadVersion(const std::string& database) {
  if (!settings_.IsSboCommon()) return InstalledVersion(database);
  try {
    return InstalledVersion(database);
  } catch (const std::exception& e) {
    // Nothing may act on a database that is not there: the row reads as not
    // installed, and says why.
    unreadable_[database] = std::string(kUnreadableInstance) + e.what();
    return kNotInstalled;
  }
}

std::string TfrmFo::InstalledVersion(const std::string& database) {
  adoVer_->Close();
  adoVer_->Open(settings_.DatabaseConnectionString(database));
  const db::ResultSet column =
      adoVer_->Query(kVersionColumnSql, {std::string(kVersionTable), std::string(kVersionColumn)});
  const std::int64_t columnId = column.IsNull("ID") ? 0 : column.Integer("ID");
  std::string version;
  if (columnId != 0) version = adoVer_->Query(kInstalledVersionSql).Text(kVersionColumn);
  if (version.empty()) version = kNotInstalled;
  adoVer_->Close();
  return version;
}

std::size_t TfrmFo::RowCount() const {
  return qPeldanyok_ ? qPeldanyok_->RowCount() : 0;
}

InstanceRow TfrmFo::Row(std::size_t row) const {
  InstanceRow result;
  if (!qPeldanyok_ || row >= qPeldanyok_->RowCount()) return result;
  const auto& values = qPeldanyok_->Rows()[row];
  const int nev = qPeldanyok_->ColumnIndex("nev");
  const int dbname = qPeldanyok_->ColumnIndex("dbname");
  if (nev >= 0) result.nev = values[static_cast<std::size_t>(nev)];
  if (dbname >= 0) result.dbname = values[static_cast<std::size_t>(dbname)];
  const CalcFields fields = cache_.Calculate(db::ToText(result.dbname));
  result.Ver = fields.Ver;
  result.VanVer = fields.VanVer;
  if (const auto reason = unreadable_.find(db::ToText(result.dbname));
      reason != unreadable_.end()) {
    result.unreadable = reason->second;
  }
  return result;
}

std::size_t TfrmFo::CurrentRow() const {
  return qPeldanyok_ ? qPeldanyok_->Position() : 0;
}

void TfrmFo::SelectRow(std::size_t row) {
  if (!qPeldanyok_ || row >= qPeldanyok_->RowCount()) return;
  qPeldanyok_->MoveTo(row);
  view_.CurrentRowChanged(row);
  dsPeldanyokDataChange();
}

db::Value TfrmFo::CurrentDbname() const {
  if (!qPeldanyok_ || qPeldanyok_->Eof()) return db::Null();
  return Row(qPeldanyok_->Position()).dbname;
}

void TfrmFo::dsPeldanyokDataChange() {
  const bool installed =
      qPeldanyok_ && !qPeldanyok_->Eof() && Row(qPeldanyok_->Position()).VanVer == kYes;
  for (ActionId id : {ActionId::aMigrator, ActionId::aUni, ActionId::aUtca}) {
    MutableAction(id).enabled = installed;
  }
  // A conversion fills the product's tables whatever version the list shows;
  // it needs only an instance to work on.
  MutableAction(ActionId::aKonvert).enabled =
      conversionWindow_ != nullptr && qPeldanyok_ && !qPeldanyok_->Eof();
  view_.ActionsChanged();
}

void TfrmFo::EnableControls(bool enabled) {
  controlsEnabled_ = enabled;
  view_.SetControlsEnabled(enabled);
}

Action& TfrmFo::MutableAction(ActionId id) {
  return actions_[static_cast<std::size_t>(id)];
}

const Action& TfrmFo::GetAction(ActionId id) const {
  return actions_[static_cast<std::size_t>(id)];
}

bool TfrmFo::Offers(ActionId id) const {
  const Action& action = GetAction(id);
  return action.visible && action.enabled;
}

std::vector<MenuItem> TfrmFo::VisiblePopupItems() const {
  std::vector<MenuItem> shown;
  for (const MenuItem& item : PopupMenuItems()) {
    if (item.separator || GetAction(item.action).visible) shown.push_back(item);
  }
  return shown;
}

}  // namespace moltaro::instances
