// The "Rep utvonal" command: shows and changes the report directory of the
// current instance, the setting "PWREPUT" of its table zmp_puy.
#include "instances/main_window.h"

namespace moltaro::instances {

void TfrmFo::aUtcaExecute() {
  const db::Value database = CurrentDbname();
  if (db::IsNull(database)) return;
  Report([&] { EditReportDirectory(db::ToText(database)); });
}

void TfrmFo::EditReportDirectory(const std::string& database) {
  adoVer_->Close();
  adoVer_->Open(settings_.DatabaseConnectionString(database));
  const db::ResultSet setting = adoVer_->Query(kReportDirSelectSql);
  const std::string directory = setting.Text("KOD");
  const bool exists = !setting.IsNull("ID");
  const std::int64_t id = setting.Integer("ID");

  TfrmRepUt& dialog = dialogs_.repUt;
  dialog.SetDirectory(directory);
  if (!dialog.ShowModal()) return;

  if (exists) {
    adoVer_->Execute(kReportDirUpdateSql, {dialog.Result(), id});
  } else {
    adoVer_->Execute(kReportDirInsertSql,
                     {kReportDirNewId, std::string(kReportDirSetting), dialog.Result()});
  }
}

}  // namespace moltaro::instances
