// A ValtDisplay that remembers what the engine showed.
#pragma once

#include <map>
#include <string>
#include <vector>

#include "engine/valt_display.h"

namespace moltaro::engine::testing {

class RecordingDisplay : public ValtDisplay {
 public:
  void ApplyLayout(const ValtLayout& applied) override { layout = applied; }
  void SetVersionHint(const std::string& text) override { hint = text; }
  void ShowText(ValtLabel label, const std::string& text) override {
    labels[label] = text;
    if (label == ValtLabel::lMit && !text.empty()) phases.push_back(text);
  }
  void SetProgressRange(int min, int max) override {
    minimum = min;
    maximum = max;
  }
  void SetProgressPosition(int value) override { position = value; }

  ValtLayout layout;
  std::string hint;
  std::map<ValtLabel, std::string> labels;
  std::vector<std::string> phases;  // every non-empty lMit text, in order
  int minimum = -1;
  int maximum = -1;
  int position = -1;
};

}  // namespace moltaro::engine::testing
