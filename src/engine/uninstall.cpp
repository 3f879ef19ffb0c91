#include "engine/uninstall.h"

#include <string>

#include "engine/db_values.h"

namespace moltaro::engine {

namespace {

constexpr const char* kCatalogueTable = "ZMP_OBJ_FEJ";

struct DropRule {
  std::string_view tipus;
  std::string_view label;  // shown in lMit
  std::string_view statement;
};

constexpr DropRule kDropRules[] = {
    {"F", "Function", "drop function "},
    {"P", "Procedure", "drop procedure "},
    {"V", "View", "drop view "},
    {"U", "Table", "drop table "},
};

const DropRule* DropRuleFor(std::string_view tipus) {
  for (const DropRule& rule : kDropRules) {
    if (rule.tipus == tipus) return &rule;
  }
  return nullptr;
}

}  // namespace

void CaptureObjects(RunContext& run, std::string_view kind) {
  if (kind == "D") {
    run.dbCel->Execute("delete from zmp_obj_fej");
    return;
  }
  if (kind != "FN" && kind != "P" && kind != "V" && kind != "U") return;
  std::int64_t count =
      WholeNumber(run.dbCel->Query("select count(id) mid from zmp_obj_fej"), "mid");
  db::ResultSet objects = run.dbCel->Query(
      "select name, xtype from sysobjects where name like 'ZMP%' and xtype=:x1 order by name",
      {std::string(kind)});
  for (; !objects.Eof(); objects.Next()) {
    ++count;
    const std::string name = objects.Text("name");
    run.dbCel->Execute(
        "insert into ZMP_OBJ_FEJ (id, tipus, nev) values (:x1, :x2, :x3)",
        {name == kCatalogueTable ? std::int64_t{0} : count, std::string(kind.substr(0, 1)), name});
  }
}

void RunUninstall(RunContext& run) {
  for (const char* kind : {"D", "FN", "P", "V", "U"}) CaptureObjects(run, kind);
  const std::int64_t total =
      WholeNumber(run.dbCel->Query("select count(*) db from ZMP_OBJ_FEJ"), "db");
  run.SetProgressRange(0, static_cast<int>(total));
  run.SetProgressPosition(0);
  run.ShowStatus(ValtLabel::lVerzio, "Törlés");
  db::ResultSet objects =
      run.dbCel->Query("select id, tipus, nev from zmp_obj_fej where id > 0 order by id");
  for (; !objects.Eof(); objects.Next()) {
    const std::string name = objects.Text("nev");
    run.ShowStatus(ValtLabel::lObj, name);
    if (const DropRule* rule = DropRuleFor(objects.Text("tipus"))) {
      run.ShowStatus(ValtLabel::lMit, rule->label);
      run.dbCel->Execute(std::string(rule->statement) + name);
    }
    run.StepProgress();
  }
  run.dbCel->Execute("drop table zmp_obj_fej");
  run.ShowStatus(ValtLabel::lMit, "");
  run.ShowStatus(ValtLabel::lObj, "");
}

}  // namespace moltaro::engine
