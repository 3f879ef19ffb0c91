#include "instances/main_window_actions.h"

namespace moltaro::instances {

std::array<Action, kActionCount> InitialActions() {
  std::array<Action, kActionCount> actions = {{
      {"aValt", "Vált", "Verzió váltás"},
      {"aVege", "Kilép", "Kilépés"},
      {"aMigrator", "Migrátor", ""},
      {"aUni", "Uninstall", ""},
      {"aUtca", "Rep utvonal", ""},
      {"aDbCrea", "db Crea", ""},
      {"aKonvert", "Konvertálás…", ""},
  }};
  Action& dbCrea = actions[static_cast<std::size_t>(ActionId::aDbCrea)];
  dbCrea.enabled = false;
  dbCrea.visible = false;
  Action& konvert = actions[static_cast<std::size_t>(ActionId::aKonvert)];
  konvert.enabled = false;
  konvert.visible = false;
  return actions;
}

std::vector<MenuItem> PopupMenuItems() {
  return {
      {false, ActionId::aValt, ""},     {false, ActionId::aUtca, ""},
      {true, ActionId::aValt, ""},      {false, ActionId::aDbCrea, "db crea"},
      {false, ActionId::aMigrator, ""}, {false, ActionId::aUni, ""},
      {true, ActionId::aValt, ""},      {false, ActionId::aVege, ""},
      {false, ActionId::aKonvert, ""},
  };
}

}  // namespace moltaro::instances
