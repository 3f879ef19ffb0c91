// 20,000 parameterised five-column INSERTs in autocommit through the access
// API on the embedded server, against the sqlite3 shell inserting the same
// rows in autocommit with the same journal settings (WAL, synchronous=NORMAL).
//
//   embedded_insert_bench [rows] [sqlite3 shell]
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>

#include "bench_database.h"
#include "db/connection.h"
#include "db/embedded/server/embedded_server.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Row {
  long long a;
  std::string b;
  double c;
  std::string d;
  long long e;
};

Row MakeRow(int i) {
  char date[32];
  std::snprintf(date, sizeof date, "2009-%02d-%02d 12:00:00", i % 12 + 1, i % 28 + 1);
  return Row{i, "Dolgozó " + std::to_string(i), i * 1.25, date, i % 7};
}

double Seconds(Clock::time_point from) {
  return std::chrono::duration<double>(Clock::now() - from).count();
}

std::string ShellQuote(const std::string& s) {
  return "'" + s + "'";
}

}  // namespace

int main(int argc, char** argv) {
  const int rows = argc > 1 ? std::atoi(argv[1]) : 20000;
  const std::string shell = argc > 2 ? argv[2] : "sqlite3";
  const moltaro::bench::BenchDatabase bench = moltaro::bench::MakeBenchDatabase("bench");
  const std::filesystem::path& dir = bench.directory;
  moltaro::db::Connection c(bench.connectionString);
  c.Open();
  c.Execute("create table t (a int, b nvarchar(50), c decimal(12,2), d datetime, e int)");

  const auto start = Clock::now();
  for (int i = 0; i < rows; ++i) {
    const Row r = MakeRow(i);
    c.Execute("insert into t (a, b, c, d, e) values (:a, :b, :c, :d, :e)",
              {std::int64_t{r.a}, r.b, r.c, r.d, std::int64_t{r.e}});
  }
  const double embeddedSeconds = Seconds(start);
  const long long count = c.Query("select count(*) n from t").Integer("n");

  // The same rows through the shell: one autocommitted INSERT per row.
  const auto shellDb = dir / "shell.db";
  const auto script = dir / "shell.sql";
  {
    std::ofstream out(script);
    out << "PRAGMA journal_mode=WAL;\nPRAGMA synchronous=NORMAL;\n"
           "CREATE TABLE t (a INTEGER, b TEXT, c REAL, d TEXT, e INTEGER);\n";
    for (int i = 0; i < rows; ++i) {
      const Row r = MakeRow(i);
      out << "INSERT INTO t (a, b, c, d, e) VALUES (" << r.a << ", " << ShellQuote(r.b) << ", "
          << r.c << ", " << ShellQuote(r.d) << ", " << r.e << ");\n";
    }
  }
  const std::string command =
      shell + " " + shellDb.string() + " < " + script.string() + " > /dev/null";
  const auto shellStart = Clock::now();
  const int rc = std::system(command.c_str());
  const double shellSeconds = Seconds(shellStart);
  if (rc != 0) {
    std::cerr << "the sqlite3 shell failed: " << command << "\n";
    return 1;
  }

  // Identifier allocation as the conversion does it: one procedure call each.
  c.Execute("create table ZMP_SYS_ID_SEQ (id decimal(9))");
  c.Execute("insert into zmp_sys_id_seq (id) values (10000)");
  c.Execute(
      "create procedure ZMP_ID_SEQ_INC @idseq_val int output as\n"
      "begin\n"
      "  update ZMP_SYS_ID_SEQ set id = id + @idseq_val\n"
      "  select @idseq_val = id from ZMP_SYS_ID_SEQ\n"
      "end");
  const int calls = rows / 10;
  const auto callStart = Clock::now();
  for (int i = 0; i < calls; ++i) {
    moltaro::db::ProcedureParameters p = {
        {"@RETURN_VALUE", moltaro::db::ParameterDirection::ReturnValue, moltaro::db::Value{}},
        {"@idseq_val", moltaro::db::ParameterDirection::InputOutput, std::int64_t{1}}};
    c.CallProcedure("ZMP_ID_SEQ_INC;1", p);
  }
  const double callSeconds = Seconds(callStart);

  const double embeddedRate = rows / embeddedSeconds;
  const double shellRate = rows / shellSeconds;
  std::printf("rows inserted:        %d (embedded count check: %lld)\n", rows, count);
  std::printf("embedded server:      %.3f s, %.0f inserts/s\n", embeddedSeconds, embeddedRate);
  std::printf("sqlite3 shell:        %.3f s, %.0f inserts/s\n", shellSeconds, shellRate);
  std::printf("ratio embedded/shell: %.2f\n", embeddedRate / shellRate);
  std::printf("NextId procedure:     %d calls, %.0f calls/s\n", calls, calls / callSeconds);
  std::filesystem::remove_all(dir);
  return count == rows ? 0 : 1;
}
