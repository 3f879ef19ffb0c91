// A conversion run of a synthetic company (1,000 persons by default, twelve
// monthly records and twenty time items each) on the embedded server, against
// the sqlite3 shell replaying the server's statement trace of the same run on
// a copy of the database as it stood before the run. Also the run's peak
// memory against the largest export file.
//
//   convert_bench [persons] [sqlite3 shell]
//
// The run itself happens in a child process (this program again, with
// --run), so the trace and the peak memory cover the conversion alone.
#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <memory>
#include <string>

#include "convert/konvert.h"
#include "convert/legacy_file.h"
#include "convert/run_steps.h"
#include "db/connection.h"
#include "db/embedded/server/embedded_server.h"
#include "engine/tfra_valt.h"
#include "engine/valt_display.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr const char* kPassword = "bench";
constexpr const char* kDatabase = "konv";

std::string ConnectionString(const fs::path& data, const std::string& database) {
  return "Provider=SQLOLEDB.1;Server=embedded:" + data.string() + ";Password=" + kPassword +
         ";Persist Security Info=True;User ID=sa;Initial Catalog=" + database + ";";
}

double Seconds(Clock::time_point from) {
  return std::chrono::duration<double>(Clock::now() - from).count();
}

std::string Quote(const std::string& text) {
  return "'" + text + "'";
}

class NoDisplay : public moltaro::engine::ValtDisplay {
 public:
  void ApplyLayout(const moltaro::engine::ValtLayout&) override {}
  void SetVersionHint(const std::string&) override {}
  void ShowText(moltaro::engine::ValtLabel, const std::string&) override {}
  void SetProgressRange(int, int) override {}
  void SetProgressPosition(int) override {}
};

class NoView : public moltaro::convert::KonvertView {
 public:
  void SetFileMask(const std::string&) override {}
  void ShowLabel(const std::string&) override {}
  void SetBarRange(moltaro::convert::KonvertBar, int, int) override {}
  void SetBarPosition(moltaro::convert::KonvertBar, int) override {}
  void SetButton2Caption(const std::string&) override {}
  void FocusButton1() override {}
  void Repaint() override {}
  void CloseWindow() override {}
  void ShowError(const std::string& text) override { std::cerr << text << '\n'; }
};

class Yes : public moltaro::convert::KonvertQuestions {
 public:
  std::string Confirm(const std::string&, moltaro::convert::QuestionKind) override {
    return "IGEN";
  }
};

class CountedMessages : public moltaro::convert::MessageSink {
 public:
  void ShowMessage(const std::string&) override { ++count; }
  int count = 0;
};

// The child: one run, then its seconds, messages and peak memory (KiB).
int RunConversion(const fs::path& root) {
  NoView view;
  Yes yes;
  CountedMessages messages;
  moltaro::convert::Tkonvert window(view, yes, messages);
  window.Connect(ConnectionString(root / "data", kDatabase), kDatabase);
  window.dEditChange((root / "export").string());
  const auto start = Clock::now();
  window.Button1Click();
  const double seconds = Seconds(start);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::printf("%.6f %d %ld\n", seconds, messages.count, usage.ru_maxrss);
  return window.LastOutcome() == moltaro::convert::Tkonvert::Outcome::Succeeded ? 0 : 1;
}

// An instance upgraded with the example version file.
void PrepareInstance(const fs::path& root) {
  const fs::path data = root / "data";
  moltaro::db::embedded::InitializeServer(data, kPassword);
  {
    moltaro::db::Connection master(ConnectionString(data, "master"));
    master.Open();
    master.Execute(std::string("create database ") + kDatabase);
  }
  fs::copy_file(fs::path(MOLTARO_SOURCE_DIR) / "examples" / "verzio.ver", root / "verzio.ver");
  NoDisplay display;
  moltaro::engine::TfraValt frame(display);
  frame.SetWorkDirectory(root);
  const std::string cs = ConnectionString(data, kDatabase);
  frame.Prepare(kDatabase, kDatabase, cs, cs, "IIIII", "sa", kPassword);
  if (frame.RunUpgrade()) throw std::runtime_error("upgrade failed: " + frame.LastError());
}

}  // namespace

int main(int argc, char** argv) {
  if (argc == 3 && std::string(argv[1]) == "--run") return RunConversion(argv[2]);
  const int persons = argc > 1 ? std::atoi(argv[1]) : 1000;
  const std::string shell = argc > 2 ? argv[2] : "sqlite3";
  const fs::path root =
      fs::temp_directory_path() / ("moltaro-convert-bench-" + std::to_string(::getpid()));
  fs::remove_all(root);
  fs::create_directories(root);

  const std::string generate =
      "python3 " + Quote(std::string(MOLTARO_SOURCE_DIR) + "/scripts/make-legacy-example.py") +
      " --out " + Quote((root / "export").string()) + " --persons " + std::to_string(persons) +
      " --months 12 --time-items 20";
  if (std::system(generate.c_str()) != 0) {
    std::cerr << "the generator failed: " << generate << '\n';
    return 1;
  }
  std::size_t records = 0;
  std::uintmax_t largest = 0;
  for (const auto& step : moltaro::convert::RunSteps()) {
    const fs::path file = root / "export" / step.fileName;
    records += moltaro::convert::ReadLegacyFile(file, step.converted).records.size();
    largest = std::max(largest, fs::file_size(file));
  }

  PrepareInstance(root);
  const fs::path instanceFile = root / "data" / (std::string(kDatabase) + ".mdf");
  fs::copy_file(instanceFile, root / "before.mdf");

  const fs::path trace = root / "trace.sql";
  const std::string child = "MOLTARO_SQL_TRACE=" + Quote(trace.string()) + " " +
                            Quote(fs::absolute(argv[0]).string()) + " --run " +
                            Quote(root.string());
  FILE* pipe = popen(child.c_str(), "r");
  double runSeconds = 0;
  int messages = 0;
  long peakKib = 0;
  const int fields = pipe ? std::fscanf(pipe, "%lf %d %ld", &runSeconds, &messages, &peakKib) : 0;
  if (pipe == nullptr || pclose(pipe) != 0 || fields != 3) {
    std::cerr << "the conversion run failed\n";
    return 1;
  }

  // The shell replays the trace with the server's functions loaded, in the
  // same journal mode, one autocommitted statement after another.
  const fs::path script = root / "replay.sql";
  {
    std::ofstream out(script);
    out << ".load " << MOLTARO_SQLITE_FUNCTIONS << " sqlite3_moltarofunctions_init\n"
        << "PRAGMA journal_mode=WAL;\nPRAGMA synchronous=NORMAL;\n";
    std::ifstream in(trace);
    out << in.rdbuf();
  }
  const std::string replay = shell + " " + Quote((root / "before.mdf").string()) + " < " +
                             Quote(script.string()) + " > /dev/null 2>" +
                             Quote((root / "replay-errors.txt").string());
  const auto shellStart = Clock::now();
  std::system(replay.c_str());
  const double shellSeconds = Seconds(shellStart);
  std::size_t replayErrors = 0;
  {
    std::ifstream errors(root / "replay-errors.txt");
    for (std::string line; std::getline(errors, line);)
      replayErrors += line.rfind("Parse error", 0) == 0 || line.rfind("Runtime error", 0) == 0;
  }

  const double peakMb = peakKib / 1024.0;
  const double limitMb = 3.0 * static_cast<double>(largest) / (1024 * 1024) + 50;
  std::printf("persons:                 %d\n", persons);
  std::printf("records:                 %zu (largest file %.1f MB)\n", records,
              static_cast<double>(largest) / (1024 * 1024));
  std::printf("conversion run:          %.2f s, %.0f records/s, %d messages\n", runSeconds,
              records / runSeconds, messages);
  std::printf("sqlite3 shell replay:    %.2f s (%zu statements refused)\n", shellSeconds,
              replayErrors);
  std::printf("ratio run/replay:        %.2f (target at most 2)\n", runSeconds / shellSeconds);
  std::printf("peak memory of the run:  %.1f MB (limit 3 x largest file + 50 MB = %.1f MB)\n",
              peakMb, limitMb);
  fs::remove_all(root);
  return 0;
}
