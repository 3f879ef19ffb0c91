// The version switch on the embedded server over a generated product schema:
// N tables of 15 columns, one index a table and a few procedures. For each N
// it times a first install, a rerun with nothing to change (only the version
// raised) and a rerun that widens a column and adds one in every tenth table,
// and prints CPU seconds and the growth exponent between successive sizes.
//
//   upgrade_bench [N ...]        (default: 100 200 400)
#include <sys/resource.h>
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "db/connection.h"
#include "db/embedded/server/embedded_server.h"
#include "engine/tfra_valt.h"
#include "engine/valt_display.h"

namespace {

using namespace moltaro;

constexpr const char* kPassword = "Bench_pw1";

struct NoFrame : engine::ValtDisplay {
  void ApplyLayout(const engine::ValtLayout&) override {}
  void SetVersionHint(const std::string&) override {}
  void ShowText(engine::ValtLabel, const std::string&) override {}
  void SetProgressRange(int, int) override {}
  void SetProgressPosition(int) override {}
};

double CpuSeconds() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  const auto seconds = [](const timeval& t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
  return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// One table: an identifier, then a rotation of the product's usual types.
// `changed` widens the name column and adds a sixteenth column.
std::string TableRecords(int table, bool changed) {
  const int id = table * 100;
  std::string text = "$$T$$" + std::to_string(table) + "$$ZMP_T" + std::to_string(table) + "$$\r\n";
  const auto column = [&](int order, const std::string& name, int type, int length, int scale,
                          const char* required, const std::string& defaultText) {
    text += "$$t$$" + std::to_string(id + order) + "$$" + std::to_string(table) + "$$" +
            std::to_string(order) + "$$" + name + "$$" + std::to_string(type) + "$$" +
            std::to_string(length) + "$$" + std::to_string(scale) + "$$" + required + "$$" +
            defaultText + "$$\r\n";
  };
  column(1, "ID", 56, 0, 0, "I", "");
  for (int order = 2; order <= 15; ++order) {
    const std::string name = "C" + std::to_string(order);
    switch (order % 5) {
      case 0:
        column(order, name, 56, 0, 0, "N", "");
        break;
      case 1:
        column(order, name, 231, changed && order == 6 ? 60 : 40, 0, "N", "");
        break;
      case 2:
        column(order, name, 108, 12, 2, "I", "0");
        break;
      case 3:
        column(order, name, 61, 0, 0, "N", "");
        break;
      default:
        column(order, name, 175, 1, 0, "I", "'N'");
        break;
    }
  }
  if (changed) column(16, "C16", 231, 20, 0, "N", "");
  return text;
}

std::string IndexRecords(int table) {
  const int index = 100000 + table;
  const std::string id = std::to_string(index);
  return "$$I$$" + id + "$$" + std::to_string(table) + "$$ZMP_T" + std::to_string(table) +
         "_IX$$\r\n" + "$$i$$" + std::to_string(index * 10 + 1) + "$$" + id + "$$" +
         std::to_string(table * 100 + 2) + "$$1$$\r\n" + "$$i$$" + std::to_string(index * 10 + 2) +
         "$$" + id + "$$" + std::to_string(table * 100 + 3) + "$$2$$\r\n";
}

std::string ProcedureRecords(int procedures) {
  std::string text;
  for (int p = 1; p <= procedures; ++p) {
    const std::string name = "ZMP_P" + std::to_string(p);
    text += "$$P$$" + std::to_string(900000 + p) + "$$Eljaras " + std::to_string(p) + "$$" +
            std::to_string(p) + "$$V$$N$$\r\n" + "create procedure " + name +
            " @id int\r\nas\r\nbegin\r\n  select count(*) from ZMP_T" + std::to_string(p) +
            " where ID = @id\r\n  return 0\r\nend\r\n";
  }
  return text;
}

// The whole version file; every tenth table changed when `tenthChanged`.
std::string VersionFile(int tables, const std::string& version, bool tenthChanged) {
  std::string text = "$$V$$" + version + "$$Mero sema$$\r\n";
  for (int t = 1; t <= tables; ++t) text += TableRecords(t, tenthChanged && t % 10 == 0);
  for (int t = 1; t <= tables; ++t) text += IndexRecords(t);
  text += ProcedureRecords(5);
  text += "$$V$$" + version + "$$Mero sema$$\r\n";
  return text;
}

struct Figures {
  int tables;
  double install, unchanged, tenth;
};

class Site {
 public:
  explicit Site(const std::filesystem::path& root) : root_(root) {
    db::embedded::InitializeServer(root_ / "data", kPassword);
  }

  std::string ConnectionString(const std::string& database) const {
    return "Provider=SQLOLEDB.1;Server=embedded:" + (root_ / "data").string() +
           ";Password=" + kPassword + ";User ID=sa;Initial Catalog=" + database + ";";
  }

  void CreateDatabase(const std::string& name) const {
    db::Connection master(ConnectionString("master"));
    master.Open();
    master.Execute("create database " + name);
  }

  // One upgrade run with `file` as verzio.ver; returns its CPU seconds.
  double Upgrade(const std::string& database, const std::string& file) const {
    const std::filesystem::path work = root_ / ("work_" + database);
    std::filesystem::create_directories(work);
    std::ofstream(work / "verzio.ver", std::ios::binary) << file;
    NoFrame display;
    engine::TfraValt frame(display);
    frame.SetWorkDirectory(work);
    const double start = CpuSeconds();
    const std::string cs = ConnectionString(database);
    frame.Prepare(database, database, cs, cs, "IIIII", "sa", kPassword);
    if (frame.RunUpgrade()) {
      std::fprintf(stderr, "%s: the run failed: %s (log %s)\n", database.c_str(),
                   frame.LastError().c_str(), frame.LogPath().string().c_str());
      std::exit(1);
    }
    return CpuSeconds() - start;
  }

 private:
  std::filesystem::path root_;
};

Figures Measure(const Site& site, int tables) {
  const std::string database = "BENCH_" + std::to_string(tables);
  site.CreateDatabase(database);
  Figures figures{tables, 0, 0, 0};
  figures.install = site.Upgrade(database, VersionFile(tables, "1.0.0", false));
  figures.unchanged = site.Upgrade(database, VersionFile(tables, "1.0.1", false));
  figures.tenth = site.Upgrade(database, VersionFile(tables, "1.0.2", true));
  return figures;
}

}  // namespace

int main(int argc, char** argv) {
  std::vector<int> sizes;
  for (int i = 1; i < argc; ++i) sizes.push_back(std::atoi(argv[i]));
  if (sizes.empty()) sizes = {100, 200, 400};

  const std::filesystem::path root = std::filesystem::temp_directory_path() /
                                     ("moltaro_upgrade_bench_" + std::to_string(getpid()));
  std::filesystem::remove_all(root);
  std::filesystem::create_directories(root);
  {
    Site site(root);
    std::printf("%8s %12s %12s %12s %9s %9s %9s\n", "tables", "install s", "unchanged s", "tenth s",
                "exp inst", "exp unch", "exp tenth");
    const Figures* previous = nullptr;
    std::vector<Figures> all;
    all.reserve(sizes.size());
    for (const int tables : sizes) {
      all.push_back(Measure(site, tables));
      const Figures& f = all.back();
      const auto exponent = [&](double now, double before) {
        return previous ? std::log(now / before) / std::log(double(f.tables) / previous->tables)
                        : 0.0;
      };
      std::printf("%8d %12.2f %12.2f %12.2f %9.2f %9.2f %9.2f\n", f.tables, f.install, f.unchanged,
                  f.tenth, previous ? exponent(f.install, previous->install) : 0.0,
                  previous ? exponent(f.unchanged, previous->unchanged) : 0.0,
                  previous ? exponent(f.tenth, previous->tenth) : 0.0);
      std::fflush(stdout);
      previous = &all.back();
    }
  }
  std::filesystem::remove_all(root);
  return 0;
}
