// Exact arithmetic over 1,000,000 numeric(12,2) rows on the embedded server,
// against SQLite itself summing the same values stored as REAL:
//   SUM(a)                        the plain exact sum
//   SUM(ROUND(a * 1.27, 2))       a multiply-and-round per row
// Each query runs three times; the best time counts.
//
//   exact_numbers_bench [rows]
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <iostream>
#include <string>

#include "bench_database.h"
#include "db/connection.h"
#include "db/embedded/server/embedded_server.h"

namespace {

using Clock = std::chrono::steady_clock;

double Best(const std::function<void()>& run) {
  double best = 1e9;
  for (int i = 0; i < 3; ++i) {
    const auto start = Clock::now();
    run();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

// The i-th amount in cents: varied, with every cent digit.
long long Cents(long long i) {
  return (i * 7919) % 1000000 + 1;
}

std::string SqliteScalar(sqlite3* db, const char* sql) {
  sqlite3_stmt* stmt = nullptr;
  sqlite3_prepare_v2(db, sql, -1, &stmt, nullptr);
  std::string out;
  if (sqlite3_step(stmt) == SQLITE_ROW) {
    const auto* text = sqlite3_column_text(stmt, 0);
    out = text ? reinterpret_cast<const char*>(text) : "";
  }
  sqlite3_finalize(stmt);
  return out;
}

}  // namespace

int main(int argc, char** argv) {
  const long long rows = argc > 1 ? std::atoll(argv[1]) : 1000000;
  const moltaro::bench::BenchDatabase bench = moltaro::bench::MakeBenchDatabase("exact-bench");
  const std::filesystem::path& dir = bench.directory;
  moltaro::db::Connection c(bench.connectionString);
  c.Open();
  c.SetCommandTimeout(0);
  c.Execute("create table t (a numeric(12,2))");
  // Batches of 1000 rows in one transaction each.
  c.Execute("begin tran");
  for (long long i = 0; i < rows; i += 1000) {
    std::string sql = "insert into t (a) values ";
    for (long long k = i; k < std::min(rows, i + 1000); ++k) {
      const long long cents = Cents(k);
      sql += (k > i ? ", (" : "(") + std::to_string(cents / 100) + "." +
             (cents % 100 < 10 ? "0" : "") + std::to_string(cents % 100) + ")";
    }
    c.Execute(sql);
  }
  c.Execute("commit tran");

  sqlite3* ref = nullptr;
  sqlite3_open((dir / "reference.db").c_str(), &ref);
  sqlite3_exec(ref, "CREATE TABLE t (a REAL); BEGIN", nullptr, nullptr, nullptr);
  sqlite3_stmt* insert = nullptr;
  sqlite3_prepare_v2(ref, "INSERT INTO t (a) VALUES (?)", -1, &insert, nullptr);
  for (long long i = 0; i < rows; ++i) {
    sqlite3_bind_double(insert, 1, static_cast<double>(Cents(i)) / 100.0);
    sqlite3_step(insert);
    sqlite3_reset(insert);
  }
  sqlite3_finalize(insert);
  sqlite3_exec(ref, "COMMIT", nullptr, nullptr, nullptr);

  std::string exactSum, exactRound, realSum, realRound;
  const double sumEmbedded = Best([&] { exactSum = c.Query("select sum(a) s from t").Text("s"); });
  const double roundEmbedded =
      Best([&] { exactRound = c.Query("select sum(round(a * 1.27, 2)) s from t").Text("s"); });
  const double sumSqlite = Best([&] { realSum = SqliteScalar(ref, "SELECT sum(a) FROM t"); });
  const double roundSqlite =
      Best([&] { realRound = SqliteScalar(ref, "SELECT sum(round(a * 1.27, 2)) FROM t"); });
  sqlite3_close(ref);

  std::printf("rows:                          %lld\n", rows);
  std::printf("SUM(a)            embedded %.3f s = %s\n", sumEmbedded, exactSum.c_str());
  std::printf("                  SQLite   %.3f s = %s (REAL)\n", sumSqlite, realSum.c_str());
  std::printf("                  ratio embedded/SQLite: %.2f\n", sumEmbedded / sumSqlite);
  std::printf("SUM(ROUND(a*1.27, 2)) embedded %.3f s = %s\n", roundEmbedded, exactRound.c_str());
  std::printf("                  SQLite   %.3f s = %s (REAL)\n", roundSqlite, realRound.c_str());
  std::printf("                  ratio embedded/SQLite: %.2f\n", roundEmbedded / roundSqlite);
  std::filesystem::remove_all(dir);
  return 0;
}
