// The "Új cég" command: creates a company database and registers it as an
// instance, creating the common database first on a server that has none.
#include <optional>

#include "instances/main_window.h"
#include "instances/new_company_statements.h"
#include "instances/sql_names.h"

namespace moltaro::instances {

void TfrmFo::aDbCreaExecute() {
  TfrmDBBe& dialog = dialogs_.dbBe;
  dialog.ResetFields();
  const bool confirmed = dialog.ShowModal();
  const std::string database = dialog.Database();
  const std::string company = dialog.Cegnev();
  if (!confirmed || database.empty() || company.empty()) return;

  // The database name goes bare into CREATE and ALTER DATABASE: a name the
  // server would misread, or one that carries more SQL, stops the command
  // before anything is created.
  if (const std::optional<std::string> problem = DatabaseNameProblem(database)) {
    operator_.ShowError(*problem + " Semmi sem jött létre.");
    return;
  }

  const bool listWasOpen = ListOpen();
  CloseList();
  const bool created = Report([&] {
    CreateCompany(company, database);
    ReopenListAfterCreation();
  });
  // A failed creation must not leave the grid empty and "Vált" idle until a
  // restart: the list comes back as it was.
  if (!created && listWasOpen) Report([this] { ReopenListAfterFailure(); });
}

void TfrmFo::CreateCompany(const std::string& company, const std::string& database) {
  ADOConnectionMaster_->Close();
  ADOConnectionMaster_->Open(settings_.MasterConnectionString());
  const std::string directory =
      DataDirectoryOf(ADOConnectionMaster_->Query(kMasterFileNameSql).Text("FILENAME"));

  if (ADOConnectionMaster_->Query(DatabaseCountSql(database)).Integer("DB") < 1) {
    for (const std::string& statement : CompanyDatabaseStatements(database, directory)) {
      ADOConnectionMaster_->Execute(statement);
    }
  } else {
    operator_.ShowMessage(DatabaseExistsMessage(database));
  }

  if (ADOConnectionMaster_->Query(kCommonDatabaseCountSql).Integer("DB") < 1) {
    CreateCommonDatabase(company, database, directory);
    return;
  }
  ADOConnection1_->Close();
  ADOConnection1_->Open(settings_.DatabaseConnectionString(kCommonDatabaseName));
  if (ADOConnection1_->Query(kCommonDatabaseCompleteSql).Integer("DB") < 1) {
    FillCommonDatabase(company, database);
  } else {
    RegisterCompany(company, database);
  }
}

void TfrmFo::CreateCommonDatabase(const std::string& company, const std::string& database,
                                  const std::string& directory) {
  // Opened by the caller already; reopening keeps it on master either way.
  ADOConnectionMaster_->Open(settings_.MasterConnectionString());
  for (const std::string& statement : CommonDatabaseStatements(directory)) {
    ADOConnectionMaster_->Execute(statement);
  }
  ADOConnection1_->Close();
  ADOConnection1_->Open(settings_.DatabaseConnectionString(kCommonDatabaseName));
  FillCommonDatabase(company, database);
}

// The tables and seed rows go in as one transaction: a common database
// holds all of them or none, never a part that every later new company
// would stumble over.
void TfrmFo::FillCommonDatabase(const std::string& company, const std::string& database) {
  ADOConnection1_->Execute("begin transaction");
  try {
    for (const std::string& statement : CommonDatabaseContentStatements(company, database)) {
      ADOConnection1_->Execute(statement);
    }
    ADOConnection1_->Execute("commit transaction");
  } catch (...) {
    try {
      ADOConnection1_->Execute("if @@trancount > 0 rollback transaction");
    } catch (const std::exception&) {
      // Closing the connection rolls it back as well.
    }
    throw;
  }
}

// Reached with ADOConnection1 on the common database.
void TfrmFo::RegisterCompany(const std::string& company, const std::string& database) {
  const std::int64_t last = ADOConnection1_->Query(kMaxInstanceIdSql).Integer("DB");
  ADOConnection1_->Execute(RegistrationInsert(last + 1, company, database));
}

void TfrmFo::ReopenListAfterFailure() {
  // The failed step may have left the list's connection anywhere, or closed.
  ADOConnection1_->Close();
  ADOConnection1_->Open(settings_.CommonConnectionString());
  OpenList();
  ListMoved();
}

void TfrmFo::ReopenListAfterCreation() {
  // The registration left the list's connection on the common database
  // ZMP_Vorel. SAP Business One's company list lives elsewhere, so in that
  // mode the connection goes back to it before the list is reopened.
  if (settings_.IsSboCommon()) {
    ADOConnection1_->Close();
    ADOConnection1_->Open(settings_.CommonConnectionString());
  }
  // The cache is not rebuilt: a new row shows no version until the next load.
  OpenList();
  ListMoved();
}

}  // namespace moltaro::instances
