#include "cli/plan_report.h"

#include <nlohmann/json.hpp>

#include <map>
#include <ostream>

#include "common/text.h"

namespace moltaro::cli {

namespace {

using engine::PlanStep;
using engine::UpgradePlan;

constexpr std::size_t kStatementWidth = 100;

struct Summary {
  std::size_t steps = 0;
  std::size_t canFail = 0;
  std::size_t rewrite = 0;
  std::size_t failedOnCopy = 0;
};

Summary Summarize(const UpgradePlan& plan) {
  Summary summary;
  for (const PlanStep& step : plan.steps) {
    ++summary.steps;
    if (!step.risk.empty()) ++summary.canFail;
    if (step.rewritesValues) ++summary.rewrite;
    if (step.failed) ++summary.failedOnCopy;
  }
  return summary;
}

// The statement's first line, cut to fit a terminal line.
std::string ShortStatement(const std::string& statement) {
  std::string line = Trim(statement.substr(0, statement.find_first_of("\r\n")));
  const bool more = line.size() < Trim(statement).size();
  if (Utf8Length(line) > kStatementWidth) {
    line = Utf8Left(line, kStatementWidth);
    return line + "…";
  }
  return more ? line + " …" : line;
}

std::string Padded(const std::string& text, std::size_t width) {
  const std::size_t length = Utf8Length(text);
  return text + std::string(length < width ? width - length : 1, ' ');
}

std::string Outcome(const UpgradePlan& plan) {
  if (!plan.failed) return "The run would succeed.";
  return "The run would fail" + (plan.error.empty() ? std::string() : ": " + plan.error);
}

// The loader writes one catalogue row a record; they show as one line a run
// of them, counted by table.
std::size_t PrintCatalogueRows(const UpgradePlan& plan, std::size_t first, std::ostream& out) {
  std::map<std::string, std::size_t> rows;
  std::size_t next = first;
  bool failed = false;
  for (; next < plan.steps.size() && plan.steps[next].kind == "catalogue row"; ++next) {
    const std::string text = Trim(plan.steps[next].statement);
    const std::size_t end = text.find_first_of(" (", 12);
    ++rows[ToUpperAscii(text.substr(12, end == std::string::npos ? std::string::npos : end - 12))];
    if (plan.steps[next].failed) {
      failed = true;
      break;
    }
  }
  std::string counts;
  for (const auto& [table, count] : rows) {
    counts += (counts.empty() ? "" : ", ") + std::to_string(count) + " into " + table;
  }
  out << "    " << Padded("catalogue rows", 32) << counts << '\n';
  if (failed) {
    out << "    " << std::string(32, ' ') << "FAILS on the copy: " << plan.steps[next].error
        << '\n';
    ++next;
  }
  return next;
}

}  // namespace

void PrintPlanText(const PlanHeading& heading, const UpgradePlan& plan, std::ostream& out) {
  out << "Upgrade plan for \"" << heading.database << "\": " << heading.before << " -> "
      << (plan.newVersion.empty() ? "?" : plan.newVersion) << '\n'
      << "(worked out by running the upgrade on a scratch copy of the database; nothing was "
         "changed)\n";
  std::string phase;
  std::string object;
  for (std::size_t k = 0; k < plan.steps.size();) {
    const PlanStep& step = plan.steps[k];
    if (step.phase != phase) {
      phase = step.phase;
      object.clear();
      out << '\n' << phase << '\n';
    }
    if (step.kind == "catalogue row") {
      k = PrintCatalogueRows(plan, k, out);
      continue;
    }
    if (step.object != object) {
      object = step.object;
      if (!object.empty()) out << "  " << object << '\n';
    }
    const std::string indent = "    " + std::string(32, ' ');
    out << "    " << Padded(step.kind, 32) << ShortStatement(step.statement) << '\n';
    if (!step.risk.empty()) out << indent << "! can fail: " << step.risk << '\n';
    if (step.rewritesValues) out << indent << "* rewrites the column's values\n";
    if (step.failed) out << indent << "FAILS on the copy: " << step.error << '\n';
    ++k;
  }
  const Summary summary = Summarize(plan);
  out << '\n'
      << Outcome(plan) << '\n'
      << summary.steps << " statements: " << summary.canFail << " can fail, " << summary.rewrite
      << " rewrite values, " << summary.failedOnCopy << " failed on the copy"
      << (plan.failed || summary.failedOnCopy == 0 ? "" : " (let pass by the run)") << ".\n";
}

void PrintPlanJson(const PlanHeading& heading, const UpgradePlan& plan, std::ostream& out) {
  nlohmann::json steps = nlohmann::json::array();
  for (const PlanStep& step : plan.steps) {
    steps.push_back({{"phase", step.phase},
                     {"object", step.object},
                     {"kind", step.kind},
                     {"statement", step.statement},
                     {"rewrites_values", step.rewritesValues},
                     {"can_fail", !step.risk.empty()},
                     {"risk", step.risk},
                     {"fails", step.failed},
                     {"error", step.error}});
  }
  const Summary summary = Summarize(plan);
  const nlohmann::json document = {{"database", heading.database},
                                   {"version_before", heading.before},
                                   {"version_after", plan.newVersion},
                                   {"outcome", plan.failed ? "fails" : "ok"},
                                   {"error", plan.error},
                                   {"steps", steps},
                                   {"summary",
                                    {{"statements", summary.steps},
                                     {"can_fail", summary.canFail},
                                     {"rewrite_values", summary.rewrite},
                                     {"failed_on_copy", summary.failedOnCopy}}}};
  out << document.dump(2, ' ', false, nlohmann::json::error_handler_t::replace) << '\n';
}

}  // namespace moltaro::cli
