// A fresh embedded server in a temporary directory with one empty database
// "bench", for the benchmarks that time statements against it.
#pragma once

#include <unistd.h>

#include <filesystem>
#include <string>

#include "db/connection.h"
#include "db/embedded/server/embedded_server.h"

namespace moltaro::bench {

struct BenchDatabase {
  std::filesystem::path directory;
  std::string connectionString;  // on the database "bench"
};

inline BenchDatabase MakeBenchDatabase(const std::string& name) {
  BenchDatabase made;
  made.directory = std::filesystem::temp_directory_path() /
                   ("moltaro-" + name + "-" + std::to_string(::getpid()));
  std::filesystem::remove_all(made.directory);
  db::embedded::InitializeServer(made.directory, "bench");
  const std::string base = "Provider=SQLOLEDB.1;Server=embedded:" + made.directory.string() +
                           ";Password=bench;Persist Security Info=True;User ID=sa;Initial Catalog=";
  db::Connection master(base + "master;");
  master.Open();
  master.Execute("create database bench on (name='bench_dat', filename='" +
                 made.directory.string() + "/bench_data.mdf') COLLATE SQL_Hungarian_Cp1250_CI_AS");
  made.connectionString = base + "bench;";
  return made;
}

}  // namespace moltaro::bench
