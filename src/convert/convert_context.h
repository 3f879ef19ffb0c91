// What every importer of legacy records receives: the work connection to the
// instance being converted, its identifier allocator, the run's state and the
// place its per-record messages go.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <string_view>

#include "db/connection.h"

namespace moltaro::convert {

// Where importers report what the operator must see about one record (an
// unknown person, a person whose update failed). The window shows each in a
// modal message box; the command line prints it. The run goes on afterwards.
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual void ShowMessage(const std::string& text) = 0;
};

class ConvertContext {
 public:
  // `work` is open on the instance database being converted; both must
  // outlive the context.
  ConvertContext(db::Connection& work, MessageSink& messages);

  // Statements of the importers; every one goes to the work connection.
  void Execute(std::string_view sql, const db::Params& params = {});
  db::ResultSet Query(std::string_view sql, const db::Params& params = {});
  db::Connection& Work() { return work_; }

  // A fresh row identifier from "ZMP_ID_SEQ_INC" of the instance database.
  std::int64_t NextId();

  // Draws an identifier and keeps it as the current record identifier.
  std::int64_t DrawRecordId();
  std::int64_t CurrentRecordId() const { return currentRecordId_; }

  // Set by the settings import, read by the later pass over the tax settings.
  const std::string& ProcessingMonth() const { return processingMonth_; }
  void SetProcessingMonth(std::string month) { processingMonth_ = std::move(month); }

  void ShowMessage(const std::string& text) { messages_.ShowMessage(text); }

  // Audit columns: CRD/LMD the local moment in regional form, CRU/LMU "0".
  std::string NowText() const { return nowText_(); }
  std::string UserIdText() const;

  // Replaces the clock of the audit moment (tests fix it).
  void SetClock(std::function<std::string()> nowText) { nowText_ = std::move(nowText); }

  // Called before every statement, query and identifier the context sends;
  // it may throw to keep the statement from being sent. The export check uses
  // it to send nothing once its transaction is gone.
  void SetStatementGuard(std::function<void()> guard) { guard_ = std::move(guard); }

 private:
  db::Connection& work_;
  MessageSink& messages_;
  std::int64_t currentRecordId_ = 0;
  std::string processingMonth_;
  std::function<std::string()> nowText_;
  std::function<void()> guard_;
};

}  // namespace moltaro::convert
