// LoadInstances over 200 registered instances on the embedded server: one
// connection per instance, the version column lookup, and the version read
// where the catalogue table exists (every other instance).
//
//   instances_bench [INSTANCES] [ROUNDS]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "db/connection.h"
#include "db/embedded/server/embedded_server.h"
#include "instances/main_window.h"
#include "instances/new_company_statements.h"

namespace {

using namespace moltaro;
using namespace moltaro::instances;

struct QuietOperator : Operator {
  int errors = 0;
  void ShowMessage(const std::string&) override {}
  void ShowError(const std::string& text) override {
    ++errors;
    std::fprintf(stderr, "error: %s\n", text.c_str());
  }
};
struct NoView : TfrmFo::View {
  void ListChanged() override {}
  void CurrentRowChanged(std::size_t) override {}
  void ActionsChanged() override {}
  void SetControlsEnabled(bool) override {}
  void PlaceFrame(const Rect&) override {}
  void CloseWindow() override {}
  void Repaint() override {}
};
struct NoFrame : engine::ValtDisplay {
  void ApplyLayout(const engine::ValtLayout&) override {}
  void SetVersionHint(const std::string&) override {}
  void ShowText(engine::ValtLabel, const std::string&) override {}
  void SetProgressRange(int, int) override {}
  void SetProgressPosition(int) override {}
};
struct NoDialogus : TfrmDialogus::View {
  void SetQuestion(const std::string&) override {}
  void ShowModal(TfrmDialogus&) override {}
};
struct NoRepUt : TfrmRepUt::View {
  void SetDirectory(const std::string&) override {}
  void SetRendbenEnabled(bool) override {}
  void ShowModal(TfrmRepUt&) override {}
};
struct NoDBBe : TfrmDBBe::View {
  void SetFields(const std::string&, const std::string&) override {}
  void SetRendbenEnabled(bool) override {}
  void ShowModal(TfrmDBBe&) override {}
};

void Populate(const ServerSettings& settings, int instances) {
  db::Connection master(settings.MasterConnectionString());
  master.Open();
  const std::string directory = DataDirectoryOf(master.Query(kMasterFileNameSql).Text("FILENAME"));
  for (const auto& statement : CommonDatabaseStatements(directory)) master.Execute(statement);
  db::Connection common(settings.DatabaseConnectionString(kCommonDatabaseName));
  common.Open();
  for (const auto& statement : CommonDatabaseContentStatements("Cég 1", "ceg1")) {
    common.Execute(statement);
  }
  for (int i = 1; i <= instances; ++i) {
    const std::string name = "ceg" + std::to_string(i);
    master.Execute("create database " + name);
    if (i > 1) common.Execute(RegistrationInsert(i, "Cég " + std::to_string(i), name));
    if (i % 2 == 0) {
      db::Connection instance(settings.DatabaseConnectionString(name));
      instance.Open();
      instance.Execute("create table ZMP_OBJ_VER (SZAM nvarchar(40))");
      instance.Execute("insert into ZMP_OBJ_VER (SZAM) values ('2024.03.15.0001')");
    }
  }
}

}  // namespace

int main(int argc, char** argv) {
  const int instances = argc > 1 ? std::atoi(argv[1]) : 200;
  const int rounds = argc > 2 ? std::atoi(argv[2]) : 5;
  const auto dataDir = std::filesystem::temp_directory_path() /
                       ("moltaro-instances-bench-" + std::to_string(std::random_device{}()));
  try {
    db::embedded::InitializeServer(dataDir, "Bench-2024");
    ServerSettings settings;
    settings.SetServerSettings("embedded:" + dataDir.string(), kCommonDatabaseName, "", "sa",
                               "Bench-2024");
    Populate(settings, instances);

    QuietOperator op;
    NoView view;
    NoDialogus dialogusView;
    NoRepUt repUtView;
    NoDBBe dbBeView;
    TfrmDialogus dialogus(dialogusView);
    TfrmRepUt repUt(repUtView);
    TfrmDBBe dbBe(dbBeView);
    NoFrame frame;
    TfrmFo window(view, op, settings, MainWindowDialogs{dialogus, repUt, dbBe}, frame);
    window.FormCreate();  // connects, and the first load warms the login check
    if (op.errors > 0 || window.RowCount() != static_cast<std::size_t>(instances)) {
      std::fprintf(stderr, "the list has %zu rows, expected %d\n", window.RowCount(), instances);
      std::filesystem::remove_all(dataDir);
      return 1;
    }

    std::vector<double> times;
    for (int round = 0; round < rounds; ++round) {
      const auto start = std::chrono::steady_clock::now();
      window.LoadInstances();
      const std::chrono::duration<double, std::milli> elapsed =
          std::chrono::steady_clock::now() - start;
      times.push_back(elapsed.count());
    }
    std::sort(times.begin(), times.end());
    std::printf(
        "LoadInstances over %d instances: median %.1f ms, best %.1f ms, worst %.1f ms (%d "
        "rounds)\n",
        instances, times[times.size() / 2], times.front(), times.back(), rounds);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    std::filesystem::remove_all(dataDir);
    return 1;
  }
  std::filesystem::remove_all(dataDir);
  return 0;
}
