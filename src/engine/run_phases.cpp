#include "engine/run_phases.h"

#include <chrono>
#include <string>

#include "common/regional.h"
#include "engine/db_values.h"
#include "engine/elapsed_text.h"
#include "engine/index_phase.h"
#include "engine/script_phase.h"
#include "engine/table_phase.h"

namespace moltaro::engine {

namespace {

constexpr const char* kCountQuery =
    "select count(*) db from ZMP_OBJ_FEJ where VERZIO<>'T' and TIPUS=:xTIPUS";

void RunPhaseWork(RunContext& run, std::size_t position) {
  switch (position) {
    case 0:
      RunScripts(run, "E");
      break;
    case 1:
      ReconcileTables(run);
      break;
    case 2:
      ReconcileIndexes(run);
      break;
    case 3:
      ReconcileProcedures(run);
      break;
    default:
      RunScripts(run, "U");
      break;
  }
}

}  // namespace

bool PhaseEnabled(std::string_view phaseMask, std::size_t position) {
  return position < phaseMask.size() && phaseMask[position] == 'I';
}

int CountObjects(RunContext& run) {
  std::int64_t count = 0;
  for (std::size_t position = 0; position < kPhases.size(); ++position) {
    if (!PhaseEnabled(run.state.PhaseMask, position)) continue;
    const db::ResultSet result =
        run.dbForras->Query(kCountQuery, {std::string(kPhases[position].kind)});
    count += WholeNumber(result, "db");
  }
  return static_cast<int>(count);
}

void RunPhases(RunContext& run) {
  const auto runStart = std::chrono::steady_clock::now();
  run.SetProgressRange(0, CountObjects(run));
  run.SetProgressPosition(0);
  for (std::size_t position = 0; position < kPhases.size(); ++position) {
    if (run.state.Failed || !PhaseEnabled(run.state.PhaseMask, position)) continue;
    const Phase& phase = kPhases[position];
    const auto phaseStart = std::chrono::steady_clock::now();
    run.ShowStatus(ValtLabel::lMit, phase.label);
    RunPhaseWork(run, position);
    run.WriteLog(std::string(phase.completion) +
                 ElapsedText(std::chrono::steady_clock::now() - phaseStart) + ")");
    run.WriteLog("");
    run.ShowStatus(ValtLabel::lMit, "");
    run.ShowStatus(ValtLabel::lObj, "");
  }
  if (run.state.Failed) {
    run.WriteLog("");
    run.WriteLog("A verzióváltásban hiba volt !");
    run.WriteLog("A program nem indítható !");
  } else {
    run.SetProgressPosition(run.ProgressMaximum());
    run.WriteLog("");
    run.WriteLog("Verzióváltás kész ! (" +
                 ElapsedText(std::chrono::steady_clock::now() - runStart) + ")");
  }
}

void RecordVersion(RunContext& run) {
  run.dbCel->Execute("delete from zmp_obj_ver");
  run.dbCel->Execute(
      "insert into zmp_obj_ver (szam, datum)\r\n"
      "values (:xszam, getdate())",
      {run.state.NewVersion});
  run.WriteLog(" ");
  run.WriteLog(run.state.NewVersion + ". verzió leváltva ! " + NowText());
}

}  // namespace moltaro::engine
