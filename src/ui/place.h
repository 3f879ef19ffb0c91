// Puts a widget where the window's design places it.
#pragma once

#include <QWidget>

#include "engine/valt_display.h"

namespace moltaro::ui {

inline void Place(QWidget* widget, const engine::ControlRect& r) {
  widget->setGeometry(r.left, r.top, r.width, r.height);
}

}  // namespace moltaro::ui
