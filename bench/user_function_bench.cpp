// A scalar user function called per row against the same expression written
// inline, over 40,000 int rows on the embedded server:
//   SUM(a + 1)          the expression inline
//   SUM(dbo.inc(a))     a function of one RETURN (taken into the statement)
//   SUM(dbo.inc_s(a))   the same function written with statements (called
//                       per row, its body compiled once)
// Each query runs five times; the best time counts.
//
//   user_function_bench [rows]
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "bench_database.h"
#include "db/connection.h"

namespace {

using Clock = std::chrono::steady_clock;

double Best(const std::function<void()>& run) {
  double best = 1e9;
  for (int i = 0; i < 5; ++i) {
    const auto start = Clock::now();
    run();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - start).count());
  }
  return best;
}

}  // namespace

int main(int argc, char** argv) {
  const long long rows = argc > 1 ? std::atoll(argv[1]) : 40000;
  const moltaro::bench::BenchDatabase bench = moltaro::bench::MakeBenchDatabase("udf-bench");
  moltaro::db::Connection c(bench.connectionString);
  c.Open();
  c.SetCommandTimeout(0);
  c.Execute("create table t (a int)");
  c.Execute("begin tran");
  for (long long i = 0; i < rows; i += 1000) {
    std::string sql = "insert into t (a) values ";
    for (long long k = i; k < std::min(rows, i + 1000); ++k) {
      sql += (k > i ? ", (" : "(") + std::to_string((k * 7919) % 100000) + ")";
    }
    c.Execute(sql);
  }
  c.Execute("commit tran");
  c.Execute("create function dbo.inc(@x int) returns int as begin return @x + 1 end");
  c.Execute(
      "create function dbo.inc_s(@x int) returns int as begin declare @r int set @r = @x + 1 "
      "return @r end");

  std::string inlineSum, functionSum, statementsSum;
  const double inlineTime =
      Best([&] { inlineSum = c.Query("select sum(a + 1) s from t").Text("s"); });
  const double functionTime =
      Best([&] { functionSum = c.Query("select sum(dbo.inc(a)) s from t").Text("s"); });
  const double statementsTime =
      Best([&] { statementsSum = c.Query("select sum(dbo.inc_s(a)) s from t").Text("s"); });

  std::printf("rows:                      %lld\n", rows);
  std::printf("SUM(a + 1)        %.4f s = %s\n", inlineTime, inlineSum.c_str());
  std::printf("SUM(dbo.inc(a))   %.4f s = %s  ratio to inline: %.2f\n", functionTime,
              functionSum.c_str(), functionTime / inlineTime);
  std::printf("SUM(dbo.inc_s(a)) %.4f s = %s  ratio to inline: %.2f\n", statementsTime,
              statementsSum.c_str(), statementsTime / inlineTime);
  std::filesystem::remove_all(bench.directory);
  return inlineSum == functionSum && inlineSum == statementsSum ? 0 : 1;
}
