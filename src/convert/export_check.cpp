#include "convert/export_check.h"

#include <array>
#include <limits>
#include <optional>
#include <set>
#include <stdexcept>
#include <utility>

#include "common/text.h"
#include "convert/code_tables.h"
#include "convert/convert_context.h"
#include "convert/legacy_file.h"
#include "convert/person_lookup.h"
#include "convert/run_steps.h"

namespace moltaro::convert {

namespace {

// The server gave up the check's transaction (the embedded server does so
// when a statement fails, as SQL Server does under XACT_ABORT): nothing more
// may be sent until it is begun again.
class TransactionLost : public std::runtime_error {
 public:
  TransactionLost() : std::runtime_error("the check's transaction was rolled back") {}
};

class CollectedMessages : public MessageSink {
 public:
  void ShowMessage(const std::string& text) override {
    if (collecting) shown.push_back(text);
  }
  bool collecting = true;
  std::vector<std::string> shown;
};

// The fixed code rows of a step, as a unit of work beside its records.
constexpr std::size_t kSeeding = std::numeric_limits<std::size_t>::max();

std::string OneLine(const std::string& text) {
  return ReplaceAll(ReplaceAll(text, "\r\n", " "), "\n", " ");
}

class ExportCheck {
 public:
  ExportCheck(db::Connection& work, std::string sourceDirectory, const CheckProgress& progress)
      : work_(work),
        sourceDirectory_(std::move(sourceDirectory)),
        progress_(progress),
        context_(work, messages_) {
    context_.SetStatementGuard([this] {
      if (!InTransaction()) throw TransactionLost();
    });
  }

  std::vector<CheckFinding> Run() {
    work_.Execute("begin transaction");
    try {
      for (std::size_t s = 0; s < RunSteps().size(); ++s) CheckStep(s);
    } catch (...) {
      RollBack();
      throw;
    }
    RollBack();
    return std::move(findings_);
  }

 private:
  bool InTransaction() { return work_.Query("select @@trancount n").Integer("n") > 0; }

  void RollBack() {
    try {
      if (InTransaction()) work_.Execute("rollback transaction");
    } catch (const std::exception&) {
      // A session the server dropped has rolled back with it.
    }
  }

  void Add(std::size_t step, std::size_t line, FindingKind kind, const std::string& reason) {
    findings_.push_back({RunSteps()[step].fileName, line, kind, OneLine(reason)});
  }

  void CheckStep(std::size_t s) {
    const RunStep& step = RunSteps()[s];
    const std::string path = sourceDirectory_ + step.fileName;
    if (progress_) progress_(step.number, path);
    try {
      files_[s] = ReadLegacyFile(path, step.converted);
    } catch (const std::exception& error) {
      Add(s, 0, FindingKind::Stops, error.what());
      return;
    }
    if (step.seedsFixedCodes) Check(s, kSeeding);
    if (step.needsProcessingMonth && Trim(context_.ProcessingMonth()).empty() &&
        !files_[s]->records.empty()) {
      Add(s, 0, FindingKind::Skipped,
          "ypuy.txt names no processing month (NAPHO): none of these records is written");
    }
    for (std::size_t r = 0; r < files_[s]->records.size(); ++r) Check(s, r);
  }

  // Runs one unit as the run would and notes what it would cause.
  void Check(std::size_t s, std::size_t r) {
    const RunStep& step = RunSteps()[s];
    const std::size_t line = r == kSeeding ? 0 : files_[s]->records[r].LineNumber();
    messages_.shown.clear();
    bool stopped = false;
    try {
      RunUnit(s, r);
    } catch (const TransactionLost&) {
      // What followed a refused statement of this record cannot be checked.
    } catch (const std::exception& error) {
      Add(s, line, FindingKind::Stops, error.what());
      stopped = true;
    }
    for (const std::string& text : messages_.shown) Add(s, line, FindingKind::Reported, text);
    const bool lost = !InTransaction();
    if (stopped || lost) excluded_.insert({s, r});
    if (lost) {
      Replay(s, r);
      return;
    }
    if (stopped || r == kSeeding || !messages_.shown.empty() || !step.skipsUnknownPerson) return;
    const std::string code = files_[s]->records[r].Field(1, 11);
    if (!PersonId(context_, code)) {
      Add(s, line, FindingKind::Skipped, "no person has the code \"" + code + "\"");
    }
  }

  void RunUnit(std::size_t s, std::size_t r) {
    if (r == kSeeding) {
      SeedFixedCodes(context_);
    } else {
      RunSteps()[s].importer(context_, files_[s]->records[r]);
    }
  }

  // Begins the transaction again and brings it back to where it stood before
  // unit (s, r): every unit before it that went through, in run order.
  void Replay(std::size_t s, std::size_t r) {
    work_.Execute("begin transaction");
    messages_.collecting = false;
    for (std::size_t t = 0; t <= s; ++t) {
      if (!files_[t]) continue;
      const std::size_t records = files_[t]->records.size();
      const auto replay = [&](std::size_t unit) {
        if (excluded_.count({t, unit}) > 0) return;
        try {
          RunUnit(t, unit);
        } catch (const std::exception&) {
          // It failed the first time too, and is excluded from then on.
        }
      };
      if (RunSteps()[t].seedsFixedCodes && !(t == s && r == kSeeding)) replay(kSeeding);
      if (t == s && r == kSeeding) break;
      const std::size_t end = t == s ? r : records;
      for (std::size_t unit = 0; unit < end; ++unit) replay(unit);
    }
    messages_.collecting = true;
    if (!InTransaction()) work_.Execute("begin transaction");
  }

  db::Connection& work_;
  std::string sourceDirectory_;
  const CheckProgress& progress_;
  CollectedMessages messages_;
  ConvertContext context_;
  std::array<std::optional<LegacyFile>, 19> files_;
  std::set<std::pair<std::size_t, std::size_t>> excluded_;
  std::vector<CheckFinding> findings_;
};

}  // namespace

std::vector<CheckFinding> CheckExportSet(db::Connection& work, const std::string& sourceDirectory,
                                         const CheckProgress& progress) {
  return ExportCheck(work, sourceDirectory, progress).Run();
}

const char* FindingKindText(FindingKind kind) {
  switch (kind) {
    case FindingKind::Stops:
      return "stops the run";
    case FindingKind::Skipped:
      return "skipped";
    case FindingKind::Reported:
      return "reported";
  }
  return "";
}

}  // namespace moltaro::convert
