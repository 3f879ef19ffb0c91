// The main window's actions and the list's pop-up menu.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace moltaro::instances {

enum class ActionId { aValt, aVege, aMigrator, aUni, aUtca, aDbCrea, aKonvert };
inline constexpr std::size_t kActionCount = 7;

struct Action {
  std::string name;  // "aValt" …
  std::string caption;
  std::string hint;
  bool enabled = true;
  bool visible = true;
};

// The actions as the window starts: captions, hints, and "db Crea" disabled
// and hidden for good. "Konvertálás…" stays hidden until a front end hands
// the main window a conversion window to open.
std::array<Action, kActionCount> InitialActions();

// One item of the pop-up menu: an action, or a separator.
struct MenuItem {
  bool separator = false;
  ActionId action = ActionId::aValt;
  std::string hint;  // the item's own hint; empty means the action's
};

// The pop-up menu in its order: "Vált", "Rep utvonal", separator, "db Crea",
// "Migrátor", "Uninstall", separator, "Kilép", "Konvertálás…".
std::vector<MenuItem> PopupMenuItems();

}  // namespace moltaro::instances
