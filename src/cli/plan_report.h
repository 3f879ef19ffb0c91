// The output of `moltaro-cli upgrade DATABASE --plan`: the steps of the run
// grouped by phase and object, as text for people or as JSON for scripts.
#pragma once

#include <iosfwd>
#include <string>

#include "engine/upgrade_plan.h"

namespace moltaro::cli {

struct PlanHeading {
  std::string database;  // as the list stores it
  std::string before;    // the list's version text
};

void PrintPlanText(const PlanHeading& heading, const engine::UpgradePlan& plan, std::ostream& out);

// An object: database, version_before, version_after, outcome ("ok" or
// "fails"), error, steps (phase, object, kind, statement, rewrites_values,
// can_fail, risk, fails, error) and summary.
void PrintPlanJson(const PlanHeading& heading, const engine::UpgradePlan& plan, std::ostream& out);

}  // namespace moltaro::cli
