// SQL Server collations on ICU: the database collation governs identifier
// lookup, text comparison, ordering and LIKE.
#pragma once

#include <memory>
#include <string>
#include <string_view>

struct sqlite3;
struct UCollator;

namespace moltaro::db::embedded {

inline constexpr std::string_view kServerCollation = "SQL_Hungarian_Cp1250_CI_AS";

// An ICU collator built from a SQL Server collation name such as
// SQL_Hungarian_Cp1250_CI_AS or HUNGARIAN_TECHNICAL_CI_AI.
class Collation {
 public:
  // Throws DatabaseError "Invalid collation 'X'." for names it cannot map.
  explicit Collation(std::string_view sqlServerName);
  ~Collation();
  Collation(const Collation&) = delete;
  Collation& operator=(const Collation&) = delete;

  const std::string& Name() const { return name_; }
  // <0, 0, >0; trailing blanks do not count, as in SQL Server.
  int Compare(std::string_view a, std::string_view b) const;
  bool Equal(std::string_view a, std::string_view b) const { return Compare(a, b) == 0; }
  // LIKE with %, _, [set], [^set] and an optional escape character.
  bool Like(std::string_view text, std::string_view pattern, std::string_view escape) const;

 private:
  bool CharEqual(std::string_view a, std::string_view b) const;
  std::string name_;
  bool binary_ = false;
  UCollator* collator_ = nullptr;
};

// Whether a name maps to a collation (without building it).
bool IsKnownCollation(std::string_view sqlServerName);

// Registers the collations SQLite asks for by name, built on demand.
void RegisterCollationProvider(sqlite3* db);

}  // namespace moltaro::db::embedded
