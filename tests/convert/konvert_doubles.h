// A conversion window that records what it was shown, and a question whose
// answer the test sets.
#pragma once

#include <string>
#include <utility>
#include <vector>

#include "convert/konvert_view.h"

namespace moltaro::convert::testing {

class RecordingKonvertView : public KonvertView {
 public:
  void SetFileMask(const std::string& text) override { mask = text; }
  void ShowLabel(const std::string& text) override {
    label = text;
    labels.push_back(text);
  }
  void SetBarRange(KonvertBar bar, int minimum, int maximum) override {
    Bar(bar) = {minimum, maximum, Bar(bar).position};
  }
  void SetBarPosition(KonvertBar bar, int position) override { Bar(bar).position = position; }
  void SetButton2Caption(const std::string& text) override { button2 = text; }
  void FocusButton1() override { ++button1Focused; }
  void Repaint() override { ++repaints; }
  void CloseWindow() override { closed = true; }
  void ShowError(const std::string& text) override { errors.push_back(text); }

  struct BarState {
    int minimum = 0;
    int maximum = 100;
    int position = 0;
  };
  BarState& Bar(KonvertBar bar) { return bar == KonvertBar::ProgressBar1 ? bar1 : bar2; }

  std::string mask;
  std::string label = kLabel1DesignText;
  std::vector<std::string> labels;
  BarState bar1;
  BarState bar2;
  std::string button2 = kButton2Caption;
  int button1Focused = 0;
  int repaints = 0;
  bool closed = false;
  std::vector<std::string> errors;
};

class ScriptedQuestions : public KonvertQuestions {
 public:
  std::string Confirm(const std::string& question, QuestionKind kind) override {
    asked.push_back(question);
    kinds.push_back(kind);
    return answer;
  }
  std::string answer = "IGEN";
  std::vector<std::string> asked;
  std::vector<QuestionKind> kinds;
};

}  // namespace moltaro::convert::testing
