#include "convert/konvert.h"

#include <exception>
#include <filesystem>

#include "common/text.h"
#include "convert/run_driver.h"
#include "convert/run_steps.h"
#include "startup/instance_lock.h"

namespace moltaro::convert {

namespace {

constexpr const char* kAnswerYes = "IGEN";

// The platform's own separator: the directory is joined with bare file names.
const std::string kSeparator(1, static_cast<char>(std::filesystem::path::preferred_separator));

}  // namespace

Tkonvert::Tkonvert(KonvertView& view, KonvertQuestions& questions, MessageSink& messages)
    : view_(view), questions_(questions), context_(work_, messages) {}

void Tkonvert::Connect(const std::string& connectionString, const std::string& instance) {
  work_.Close();
  instance_ = instance;
  work_.Open(connectionString);
}

void Tkonvert::dEditChange(const std::string& text) {
  if (text.empty()) {
    sourceDirectory_.clear();
    view_.SetFileMask("");
    return;
  }
  // A root such as "/" or "C:\" already ends in one.
  sourceDirectory_ = ReplaceAll(text + kSeparator, kSeparator + kSeparator, kSeparator);
  view_.SetFileMask(sourceDirectory_ + kFileMask);
}

void Tkonvert::btnVisszaClick() {
  view_.CloseWindow();
}

template <typename Command>
void Tkonvert::RunLocked(Command command) {
  lastError_.clear();
  try {
    const InstanceLock lock(work_, instance_);
    command();
    lastOutcome_ = Outcome::Succeeded;
  } catch (const std::exception& error) {
    lastOutcome_ = Outcome::Failed;
    lastError_ = error.what();
    view_.ShowError(lastError_);
  }
}

void Tkonvert::Button1Click() {
  lastOutcome_ = Outcome::NotRun;
  if (questions_.Confirm(kRunQuestion, QuestionKind::GoesAhead) != kAnswerYes) return;
  RunLocked([this] {
    RunConversion(context_, sourceDirectory_, view_);
    context_.Execute(kVersionStampSql);
  });
}

void Tkonvert::Button2Click() {
  lastOutcome_ = Outcome::NotRun;
  if (questions_.Confirm(kDeleteQuestion, QuestionKind::DestroysData) != kAnswerYes) return;
  RunLocked([this] { DeleteConverted(context_, view_); });
}

}  // namespace moltaro::convert
