// Database principals as SQL Server numbers them: the fixed users and roles
// every database has, then the users and roles CREATE USER / CREATE ROLE
// (and their older procedures) recorded in moltaro_principals, with role
// membership in moltaro_role_members. They are recorded and reported; no
// statement is checked against them.
#include <sqlite3.h>

#include <algorithm>
#include <array>

#include "db/embedded/catalog/catalog.h"

namespace moltaro::db::embedded {

namespace {

struct FixedPrincipal {
  int id;
  const char* name;
  char type;
};

constexpr std::array kFixedPrincipals = {
    FixedPrincipal{0, "public", 'R'},
    FixedPrincipal{1, "dbo", 'S'},
    FixedPrincipal{2, "guest", 'S'},
    FixedPrincipal{3, "INFORMATION_SCHEMA", 'S'},
    FixedPrincipal{4, "sys", 'S'},
    FixedPrincipal{16384, "db_owner", 'R'},
    FixedPrincipal{16385, "db_accessadmin", 'R'},
    FixedPrincipal{16386, "db_securityadmin", 'R'},
    FixedPrincipal{16387, "db_ddladmin", 'R'},
    FixedPrincipal{16389, "db_backupoperator", 'R'},
    FixedPrincipal{16390, "db_datareader", 'R'},
    FixedPrincipal{16391, "db_datawriter", 'R'},
    FixedPrincipal{16392, "db_denydatareader", 'R'},
    FixedPrincipal{16393, "db_denydatawriter", 'R'},
};

std::string ColumnText(sqlite3_stmt* stmt, int column) {
  const auto* text = reinterpret_cast<const char*>(sqlite3_column_text(stmt, column));
  return text != nullptr ? std::string(text) : std::string();
}

}  // namespace

std::vector<PrincipalEntry> Catalog::Principals() {
  std::vector<PrincipalEntry> all;
  for (const FixedPrincipal& f : kFixedPrincipals) {
    PrincipalEntry e;
    e.id = f.id;
    e.name = f.name;
    e.type = f.type;
    if (f.type == 'R') e.owner = 1;
    if (f.id == 1 || f.id == 2) e.defaultSchema = f.name;
    if (f.id == 1) e.login = "sa";
    all.push_back(std::move(e));
  }
  auto stmt = db_.PrepareCached(
      "SELECT principal_id, name, type, owning_principal_id, default_schema_name, login_name, "
      "create_date FROM moltaro_principals ORDER BY principal_id");
  while (sqlite3_step(stmt.get()) == SQLITE_ROW) {
    PrincipalEntry e;
    e.id = sqlite3_column_int(stmt.get(), 0);
    e.name = ColumnText(stmt.get(), 1);
    e.type = ColumnText(stmt.get(), 2) == "R" ? 'R' : 'S';
    if (sqlite3_column_type(stmt.get(), 3) != SQLITE_NULL) {
      e.owner = sqlite3_column_int(stmt.get(), 3);
    }
    e.defaultSchema = ColumnText(stmt.get(), 4);
    e.login = ColumnText(stmt.get(), 5);
    e.created = ColumnText(stmt.get(), 6);
    all.push_back(std::move(e));
  }
  return all;
}

std::optional<PrincipalEntry> Catalog::FindPrincipalEntry(const std::string& name) {
  for (PrincipalEntry& e : Principals()) {
    if (collation_->Equal(e.name, name)) return std::move(e);
  }
  return std::nullopt;
}

std::optional<int> Catalog::FindPrincipal(const std::string& name) {
  const std::optional<PrincipalEntry> found = FindPrincipalEntry(name);
  if (!found) return std::nullopt;
  return found->id;
}

std::string Catalog::PrincipalsSql() {
  std::string sql =
      "(SELECT principal_id, name, type, owning_principal_id, default_schema_name, create_date, "
      "login_name FROM moltaro_principals";
  for (const FixedPrincipal& f : kFixedPrincipals) {
    const std::string id = std::to_string(f.id);
    const bool user = f.id == 1 || f.id == 2;
    sql += std::string(" UNION ALL SELECT ") + id + ", '" + f.name + "', '" + f.type + "', " +
           (f.type == 'R' ? "1" : "NULL") + ", " +
           (user ? "'" + std::string(f.name) + "'" : "NULL") + ", NULL, " +
           (f.id == 1 ? "'sa'" : "NULL");
  }
  return sql + ")";
}

int Catalog::InsertPrincipal(const PrincipalEntry& principal) {
  auto next = db_.PrepareCached("SELECT max(principal_id) FROM moltaro_principals");
  int id = kFirstUserPrincipalId;
  if (sqlite3_step(next.get()) == SQLITE_ROW && sqlite3_column_type(next.get(), 0) != SQLITE_NULL) {
    id = std::max(id, sqlite3_column_int(next.get(), 0) + 1);
  }
  next.reset();
  auto insert = db_.PrepareCached(
      "INSERT INTO moltaro_principals (principal_id, name, type, owning_principal_id, "
      "default_schema_name, login_name, create_date) VALUES (?, ?, ?, ?, ?, ?, tsql_getdate())");
  sqlite3_bind_int(insert.get(), 1, id);
  sqlite3_bind_text(insert.get(), 2, principal.name.c_str(), -1, SQLITE_TRANSIENT);
  sqlite3_bind_text(insert.get(), 3, principal.type == 'R' ? "R" : "S", -1, SQLITE_STATIC);
  if (principal.owner) {
    sqlite3_bind_int(insert.get(), 4, *principal.owner);
  } else {
    sqlite3_bind_null(insert.get(), 4);
  }
  const auto bindOptional = [&](int index, const std::string& text) {
    if (text.empty()) {
      sqlite3_bind_null(insert.get(), index);
    } else {
      sqlite3_bind_text(insert.get(), index, text.c_str(), -1, SQLITE_TRANSIENT);
    }
  };
  bindOptional(5, principal.defaultSchema);
  bindOptional(6, principal.login);
  Step(insert.get());
  return id;
}

void Catalog::DeletePrincipal(int id) {
  auto members = db_.PrepareCached(
      "DELETE FROM moltaro_role_members WHERE role_principal_id = ? OR member_principal_id = ?");
  sqlite3_bind_int(members.get(), 1, id);
  sqlite3_bind_int(members.get(), 2, id);
  Step(members.get());
  auto erase = db_.PrepareCached("DELETE FROM moltaro_principals WHERE principal_id = ?");
  sqlite3_bind_int(erase.get(), 1, id);
  Step(erase.get());
}

void Catalog::SetPrincipalOwner(int id, int owner) {
  auto update = db_.PrepareCached(
      "UPDATE moltaro_principals SET owning_principal_id = ? WHERE principal_id = ?");
  sqlite3_bind_int(update.get(), 1, owner);
  sqlite3_bind_int(update.get(), 2, id);
  Step(update.get());
}

void Catalog::InsertRoleMember(int role, int member) {
  auto insert = db_.PrepareCached(
      "INSERT OR IGNORE INTO moltaro_role_members (role_principal_id, member_principal_id) "
      "VALUES (?, ?)");
  sqlite3_bind_int(insert.get(), 1, role);
  sqlite3_bind_int(insert.get(), 2, member);
  Step(insert.get());
}

void Catalog::DeleteRoleMember(int role, int member) {
  auto erase = db_.PrepareCached(
      "DELETE FROM moltaro_role_members WHERE role_principal_id = ? AND member_principal_id = ?");
  sqlite3_bind_int(erase.get(), 1, role);
  sqlite3_bind_int(erase.get(), 2, member);
  Step(erase.get());
}

std::vector<int> Catalog::RoleMembers(int role) {
  auto stmt = db_.PrepareCached(
      "SELECT member_principal_id FROM moltaro_role_members WHERE role_principal_id = ? ORDER BY "
      "member_principal_id");
  sqlite3_bind_int(stmt.get(), 1, role);
  std::vector<int> members;
  while (sqlite3_step(stmt.get()) == SQLITE_ROW)
    members.push_back(sqlite3_column_int(stmt.get(), 0));
  return members;
}

bool Catalog::ReachesRole(int member, int role) {
  auto stmt = db_.PrepareCached(
      "WITH RECURSIVE up(id) AS (SELECT ? UNION SELECT m.role_principal_id FROM "
      "moltaro_role_members m JOIN up ON m.member_principal_id = up.id) SELECT 1 FROM up WHERE "
      "id = ?");
  sqlite3_bind_int(stmt.get(), 1, member);
  sqlite3_bind_int(stmt.get(), 2, role);
  return sqlite3_step(stmt.get()) == SQLITE_ROW;
}

bool Catalog::OwnsRole(int principal) {
  auto owned = db_.PrepareCached("SELECT 1 FROM moltaro_principals WHERE owning_principal_id = ?");
  sqlite3_bind_int(owned.get(), 1, principal);
  return sqlite3_step(owned.get()) == SQLITE_ROW;
}

}  // namespace moltaro::db::embedded
