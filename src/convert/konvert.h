// The conversion window "Konvertálás": its state and commands, free of any
// window toolkit. A Qt window, the command line and the tests drive it
// through the same handlers.
#pragma once

#include <cstdint>
#include <string>

#include "convert/convert_context.h"
#include "convert/konvert_view.h"
#include "db/connection.h"

namespace moltaro::convert {

class Tkonvert {
 public:
  // How the last "Indít" or "Törlés" ended.
  enum class Outcome {
    NotRun,     // not confirmed with "IGEN"
    Succeeded,  // ran to its end ("Rendben lefutott !" and the stamp, or "Kész !")
    Failed,     // stopped by an error, shown through ShowError and kept in LastError
  };

  // The window is created once; it needs a work connection (Connect) before
  // "Indít" or "Törlés". All three must outlive it.
  Tkonvert(KonvertView& view, KonvertQuestions& questions, MessageSink& messages);

  // Points the work connection at the instance database `instance` (the name
  // the instance lock and its messages use), closing any earlier one. The
  // source directory, current record identifier and processing month stay.
  void Connect(const std::string& connectionString, const std::string& instance);
  bool Connected() const { return work_.IsOpen(); }
  const std::string& Instance() const { return instance_; }
  db::Connection& Work() { return work_; }
  ConvertContext& Context() { return context_; }

  // The directory edit changed: the source directory becomes the text and a
  // separator (a doubled separator made single), or empty with the edit.
  void dEditChange(const std::string& text);
  void btnVisszaClick();
  // "Indít": asks "Mehet ? ", then runs and stamps the version.
  void Button1Click();
  // "Törlés": asks "Valóban töröljem ?", then empties the tables.
  void Button2Click();

  const std::string& SourceDirectory() const { return sourceDirectory_; }
  std::int64_t CurrentRecordId() const { return context_.CurrentRecordId(); }
  const std::string& ProcessingMonth() const { return context_.ProcessingMonth(); }

  Outcome LastOutcome() const { return lastOutcome_; }
  const std::string& LastError() const { return lastError_; }

 private:
  // Runs `command` holding the instance lock; an error is shown and kept.
  template <typename Command>
  void RunLocked(Command command);

  KonvertView& view_;
  KonvertQuestions& questions_;
  db::Connection work_;
  ConvertContext context_;
  std::string instance_;
  std::string sourceDirectory_;
  Outcome lastOutcome_ = Outcome::NotRun;
  std::string lastError_;
};

}  // namespace moltaro::convert
