// One step of an upgrade plan: a statement the run sends, which object it
// belongs to, what kind of change it is, and what may go wrong with it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace moltaro::engine {

// Phases of a plan, in run order.
inline constexpr std::string_view kPlanSystem = "system tables";
inline constexpr std::string_view kPlanCatalogue = "catalogue";
inline constexpr std::string_view kPlanPreScripts = "pre-run scripts";
inline constexpr std::string_view kPlanTables = "tables";
inline constexpr std::string_view kPlanIndexes = "indexes";
inline constexpr std::string_view kPlanProcedures = "procedures";
inline constexpr std::string_view kPlanPostScripts = "post-run scripts";
inline constexpr std::string_view kPlanVersion = "version";

struct PlanStep {
  std::string phase;      // one of the kPlan… names
  std::string object;     // the table, index, procedure or script being worked on
  std::string kind;       // "create table", "add column", "alter column", …
  std::string statement;  // exactly as the run sends it
  bool rewritesValues = false;
  std::string risk;  // why the step can fail; empty when it ordinarily cannot
  bool failed = false;
  std::string error;  // the server's refusal when it failed on the copy
};

// The phase a statement belongs to: the one the run shows (its progress
// label), or for the loader's and the closing writes, the statement's own.
std::string PlanPhase(std::string_view progressLabel, std::string_view statement);

// What a statement the engine sends does, from its text; `phase` tells
// scripts and procedures from the engine's own statements.
std::string StatementKind(std::string_view phase, std::string_view statement);

// The table and column an "alter table T alter column C …", "… add C …" or
// "update T set C=…" statement works on; nothing for other statements.
struct ColumnTarget {
  std::string table;
  std::string column;
  std::string definition;  // what follows the column name ("Nvarchar(10) NOT NULL …")
  std::string source;      // update: the column the values come from
};
std::optional<ColumnTarget> ColumnOf(std::string_view statement);

// A column's type as the engine writes it ("Nvarchar(20)", "Numeric(12,2)",
// "Int"), compared with the type it is to become.
struct TypeChange {
  bool rewrites = false;  // every value is converted
  std::string risk;       // why converting the values can fail; empty when it cannot
};
TypeChange CompareTypes(std::string_view current, std::string_view wanted);

}  // namespace moltaro::engine
