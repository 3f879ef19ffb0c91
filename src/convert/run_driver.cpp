#include "convert/run_driver.h"

#include "convert/code_tables.h"
#include "convert/import_record.h"
#include "convert/legacy_file.h"
#include "convert/run_steps.h"
#include "db/procedure.h"

namespace moltaro::convert {

namespace {

using KonvertBar::ProgressBar1;
using KonvertBar::ProgressBar2;

void RunStepFile(ConvertContext& context, const RunStep& step, const std::string& path,
                 KonvertView& view) {
  view.SetBarPosition(ProgressBar1, step.number);
  view.ShowLabel(path);
  view.Repaint();
  const LegacyFile file = ReadLegacyFile(path, step.converted);
  if (step.seedsFixedCodes) SeedFixedCodes(context);
  if (file.lineCount == 0) return;
  const std::size_t n = file.lineCount;
  view.SetBarRange(ProgressBar2, 0, n >= 3 ? static_cast<int>(n - 2) : 1);
  for (std::size_t i = 0; i < file.records.size(); ++i) {
    view.SetBarPosition(ProgressBar2, static_cast<int>(i));
    ImportRecord(context, step.importer, step.fileName, file.records[i]);
  }
}

}  // namespace

void RunClosingProcedure(ConvertContext& context) {
  db::ProcedureParameters params{
      {"@RETURN_VALUE", db::ParameterDirection::ReturnValue, db::Null()},
      {"@ev", db::ParameterDirection::Input, kClosingYear},
  };
  context.Work().CallProcedure(kClosingProcedure, params);
}

void RunConversion(ConvertContext& context, const std::string& sourceDirectory, KonvertView& view) {
  // The record bar keeps its range until a file with lines sets it.
  view.SetBarRange(ProgressBar1, 0, 20);
  for (const RunStep& step : RunSteps()) {
    RunStepFile(context, step, sourceDirectory + step.fileName, view);
  }
  context.Execute(kCleanupSql);
  RunClosingProcedure(context);
  view.SetBarPosition(ProgressBar1, 19);
  context.ShowMessage(kRunSucceeded);
  view.ShowLabel("");
  view.SetBarRange(ProgressBar1, 0, 0);
  view.SetBarRange(ProgressBar2, 0, 0);
}

void DeleteConverted(ConvertContext& context, KonvertView& view) {
  view.SetBarRange(ProgressBar1, 0, static_cast<int>(kDeleteStatements.size()));
  view.SetButton2Caption(kButton2BusyCaption);
  int position = 0;
  for (const char* statement : kDeleteStatements) {
    view.SetBarPosition(ProgressBar1, ++position);
    view.ShowLabel(DeletedTable(statement));
    context.Execute(statement);
  }
  context.ShowMessage(kDeleteDone);
  view.SetBarRange(ProgressBar1, 0, 0);
  view.ShowLabel("");
  view.SetButton2Caption(kButton2Caption);
  view.FocusButton1();
}

}  // namespace moltaro::convert
