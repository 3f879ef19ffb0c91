#include "engine/plan_recorder.h"

#include <cctype>
#include <exception>
#include <functional>
#include <optional>

#include "common/text.h"
#include "db/errors.h"
#include "engine/column_definition.h"
#include "engine/db_values.h"

namespace moltaro::engine {

namespace {

constexpr const char* kColumnQuery =
    "select b.xtype, b.length, b.prec, b.xprec, b.xscale, b.isnullable\r\n"
    "  from sysobjects a, syscolumns b\r\n"
    " where a.id = b.id and a.xtype = 'U' and a.name = :xtable and b.name = :xcolumn";

// Names spliced into the probes' counts; anything else is not counted.
bool PlainIdentifier(std::string_view name) {
  if (name.empty() || std::isdigit(static_cast<unsigned char>(name[0])) != 0) return false;
  for (const char c : name) {
    if (std::isalnum(static_cast<unsigned char>(c)) == 0 && c != '_' && c != '@' && c != '#' &&
        c != '$') {
      return false;
    }
  }
  return true;
}

struct CurrentColumn {
  std::string type;  // as the engine writes types
  bool nullable = true;
};

// "Nvarchar(10) NOT NULL default 'x'" -> "Nvarchar(10)".
std::string TypeOfDefinition(const std::string& definition) {
  std::string type = definition;
  for (const char* end : {" NOT NULL", " NULL", " default "}) {
    const std::size_t at = type.find(end);
    if (at != std::string::npos) type.resize(at);
  }
  return Trim(type);
}

void Append(std::string& risk, const std::string& more) {
  if (more.empty()) return;
  risk += (risk.empty() ? "" : "; ") + more;
}

}  // namespace

struct PlanRecorder::State {
  ValtDisplay& progress;
  db::ConnectionFactory connect;
  std::string phaseLabel;
  std::string object;
  std::vector<PlanStep> steps;

  // What the column is now, read on the connection the statement goes over
  // (inside the run's transaction, if one is open). Only reads of the system
  // tables and of columns found there, so a probe cannot fail and disturb
  // the run it watches.
  static std::optional<CurrentColumn> Column(db::ConnectionPort& connection,
                                             const std::string& table, const std::string& column) {
    const db::ResultSet row = connection.Query(kColumnQuery, {table, column});
    if (row.Eof() || row.IsNull("xtype")) return std::nullopt;
    return CurrentColumn{TargetTypeText(WholeNumber(row, "xtype"), WholeNumber(row, "length"),
                                        WholeNumber(row, "prec"), WholeNumber(row, "xprec"),
                                        WholeNumber(row, "xscale")),
                         WholeNumber(row, "isnullable") != 0};
  }

  static std::int64_t Count(db::ConnectionPort& connection, const std::string& table,
                            const std::string& where) {
    return WholeNumber(connection.Query("select count(*) n from " + table + where), "n");
  }

  void Assess(db::ConnectionPort& connection, PlanStep& step) {
    if (step.kind == "script statement") {
      step.risk = "a script statement: the server may refuse it";
      return;
    }
    if (step.phase == kPlanProcedures) {
      step.risk = "the server compiles the text and may refuse it";
      return;
    }
    if (step.kind == "create index" &&
        ToLowerAscii(step.statement).rfind("create unique ", 0) == 0) {
      step.risk = "unique: fails when the keys hold the same values twice";
      return;
    }
    const std::optional<ColumnTarget> target = ColumnOf(step.statement);
    if (!target || !PlainIdentifier(target->table)) return;
    if (step.kind == "alter column") {
      const auto current = Column(connection, target->table, target->column);
      if (!current) return;
      const TypeChange change = CompareTypes(current->type, TypeOfDefinition(target->definition));
      step.rewritesValues = change.rewrites;
      step.risk = change.risk;
      if (current->nullable && target->definition.find(" NOT NULL") != std::string::npos &&
          PlainIdentifier(target->column)) {
        const std::int64_t nulls =
            Count(connection, target->table, " where " + target->column + " is null");
        Append(step.risk, "adds NOT NULL: fails while a row holds NULL (" + std::to_string(nulls) +
                              " do now)");
      }
    } else if (step.kind == "add column") {
      const std::string& definition = target->definition;
      if (definition.find(" NOT NULL") != std::string::npos &&
          definition.find(" default ") == std::string::npos) {
        const std::int64_t rows = Count(connection, target->table, "");
        if (rows > 0) {
          step.risk =
              "a NOT NULL column without a default on a table of " + std::to_string(rows) + " rows";
        }
      }
    } else if (step.kind == "copy values" || step.kind == "keep values in temporary column") {
      step.rewritesValues = true;
      const auto from = Column(connection, target->table, target->source);
      const auto to = Column(connection, target->table, target->column);
      if (from && to) step.risk = CompareTypes(from->type, to->type).risk;
    }
  }

  void Record(db::ConnectionPort& connection, std::string_view sql,
              const std::function<void()>& send) {
    PlanStep step;
    step.statement = std::string(sql);
    step.phase = PlanPhase(phaseLabel, step.statement);
    step.object = step.phase == kPlanCatalogue || step.phase == kPlanVersion ? "" : object;
    step.kind = StatementKind(step.phase, step.statement);
    try {
      Assess(connection, step);
    } catch (const std::exception&) {
      // A probe that cannot read the column leaves the step unassessed.
    }
    steps.push_back(step);
    try {
      send();
    } catch (const std::exception& error) {
      steps.back().failed = true;
      steps.back().error = error.what();
      throw;
    }
  }
};

namespace {

class TrackingDisplay : public ValtDisplay {
 public:
  explicit TrackingDisplay(PlanRecorder::State& state) : state_(state) {}
  void ApplyLayout(const ValtLayout& layout) override { state_.progress.ApplyLayout(layout); }
  void SetVersionHint(const std::string& hint) override { state_.progress.SetVersionHint(hint); }
  void ShowText(ValtLabel label, const std::string& text) override {
    if (label == ValtLabel::lMit) state_.phaseLabel = text;
    if (label == ValtLabel::lObj) state_.object = text;
    state_.progress.ShowText(label, text);
  }
  void SetProgressRange(int minimum, int maximum) override {
    state_.progress.SetProgressRange(minimum, maximum);
  }
  void SetProgressPosition(int position) override { state_.progress.SetProgressPosition(position); }

 private:
  PlanRecorder::State& state_;
};

class RecordingConnection : public db::ConnectionPort {
 public:
  explicit RecordingConnection(PlanRecorder::State& state)
      : state_(state), real_(state.connect()) {}
  void Open(const std::string& connectionString) override { real_->Open(connectionString); }
  void Close() override { real_->Close(); }
  db::ResultSet Query(std::string_view sql, const db::Params& params) override {
    return real_->Query(sql, params);
  }
  void Execute(std::string_view sql, const db::Params& params) override {
    state_.Record(*real_, sql, [&] { real_->Execute(sql, params); });
  }

 private:
  PlanRecorder::State& state_;
  std::unique_ptr<db::ConnectionPort> real_;
};

}  // namespace

PlanRecorder::PlanRecorder(ValtDisplay& progress, db::ConnectionFactory connect)
    : state_(std::make_unique<State>(State{progress, std::move(connect), {}, {}, {}})) {}

PlanRecorder::~PlanRecorder() = default;

ValtDisplay& PlanRecorder::Display() {
  if (!display_) display_ = std::make_unique<TrackingDisplay>(*state_);
  return *display_;
}

db::ConnectionFactory PlanRecorder::Connections() {
  State* state = state_.get();
  return [state] { return std::make_unique<RecordingConnection>(*state); };
}

const std::vector<PlanStep>& PlanRecorder::Steps() const {
  return state_->steps;
}

}  // namespace moltaro::engine
