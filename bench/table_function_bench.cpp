// Table-valued functions against the same query written inline, over 40,000
// int rows on the embedded server:
//   plain         SELECT … FROM t WHERE a > @limit
//   inline        the same query as an inline function (taken into the
//                 statement as a derived table)
//   statements    the same as a multi-statement function (its body run once,
//                 its rows copied through its return table)
//   apply         CROSS APPLY of the inline function over 200 rows' columns
//                 (its query run once per row)
//   STRING_SPLIT  of a list of as many numbers, joined back to the table
// Each query runs five times; the best time counts.
//
//   table_function_bench [rows]
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
  const moltaro::bench::BenchDatabase bench = moltaro::bench::MakeBenchDatabase("tvf-bench");
  moltaro::db::Connection c(bench.connectionString);
  c.Open();
  c.SetCommandTimeout(0);
  c.Execute("create table t (id int primary key, a int)");
  c.Execute("begin tran");
  std::string list;
  for (long long i = 0; i < rows; i += 1000) {
    std::string sql = "insert into t (id, a) values ";
    for (long long k = i; k < std::min(rows, i + 1000); ++k) {
      sql += (k > i ? ", (" : "(") + std::to_string(k) + ", " +
             std::to_string((k * 7919) % 100000) + ")";
      list += (k ? "," : "") + std::to_string(k);
    }
    c.Execute(sql);
  }
  c.Execute("commit tran");
  c.Execute(
      "create function dbo.over_limit(@limit int) returns table as return "
      "(select id, a from t where a > @limit)");
  c.Execute(
      "create function dbo.over_limit_s(@limit int) returns @r table (id int, a int) as "
      "begin insert @r select id, a from t where a > @limit return end");

  std::string plain, inlined, statements, applied, split;
  const double plainTime =
      Best([&] { plain = c.Query("select sum(a) s from t where a > 50000").Text("s"); });
  const double inlineTime =
      Best([&] { inlined = c.Query("select sum(a) s from dbo.over_limit(50000)").Text("s"); });
  const double statementsTime =
      Best([&] { statements = c.Query("select sum(a) s from dbo.over_limit_s(50000)").Text("s"); });
  const double applyTime = Best([&] {
    applied = c.Query(
                   "select count(*) n from t cross apply dbo.over_limit(t.a) f "
                   "where t.id < 200")
                  .Text("n");
  });
  const double splitTime = Best([&] {
    split = c.Query("select count(*) n from string_split('" + list +
                    "', ',') s join t on t.id = cast(s.value as int)")
                .Text("n");
  });

  std::printf("rows:                      %lld\n", rows);
  std::printf("plain         %.4f s = %s\n", plainTime, plain.c_str());
  std::printf("inline        %.4f s = %s  ratio to plain: %.2f\n", inlineTime, inlined.c_str(),
              inlineTime / plainTime);
  std::printf("statements    %.4f s = %s  ratio to plain: %.2f\n", statementsTime,
              statements.c_str(), statementsTime / plainTime);
  std::printf("apply (200)   %.4f s = %s\n", applyTime, applied.c_str());
  std::printf("STRING_SPLIT  %.4f s = %s\n", splitTime, split.c_str());
  std::filesystem::remove_all(bench.directory);
  return plain == inlined && plain == statements && split == std::to_string(rows) ? 0 : 1;
}
