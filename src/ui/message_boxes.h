// The program's two kinds of message: expected conditions in a plain box,
// errors in the standard error box.
#pragma once

#include <string>

class QWidget;

namespace moltaro::ui {

inline constexpr const char* kApplicationTitle = "Moltaro verzióváltó";

void ShowPlainMessage(QWidget* parent, const std::string& text);
void ShowErrorMessage(QWidget* parent, const std::string& text);

}  // namespace moltaro::ui
