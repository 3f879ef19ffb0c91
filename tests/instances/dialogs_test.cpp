#include <gtest/gtest.h>

#include "instances/confirm_dialog.h"
#include "instances/new_company_dialog.h"
#include "instances/report_dir_dialog.h"
#include "recording_views.h"

namespace moltaro::instances {
namespace {

using testing::ScriptedDBBeView;
using testing::ScriptedDialogusView;
using testing::ScriptedRepUtView;

TEST(NewCompanyDialog, FieldChangedLastDecidesRendben) {
  ScriptedDBBeView view;
  TfrmDBBe dialog(view);
  dialog.ResetFields();
  EXPECT_FALSE(view.rendbenEnabled);

  dialog.eCegnevChange("Kovács Kft");
  EXPECT_TRUE(view.rendbenEnabled);
  dialog.eDatabaseChange("ab");  // short database name typed last
  EXPECT_FALSE(dialog.RendbenEnabled());
  dialog.eCegnevChange("Kovács Kft.");  // the company name decides again
  EXPECT_TRUE(dialog.RendbenEnabled());
  dialog.bRendbenClick();
  EXPECT_TRUE(dialog.Confirmed());
  EXPECT_EQ(dialog.Result(), "ab");
}

TEST(NewCompanyDialog, MoreThanThreeCharactersCountedAsCharacters) {
  ScriptedDBBeView view;
  TfrmDBBe dialog(view);
  dialog.eDatabaseChange("Cég");  // 3 characters, 4 bytes
  EXPECT_FALSE(dialog.RendbenEnabled());
  dialog.eDatabaseChange("Cégé");
  EXPECT_TRUE(dialog.RendbenEnabled());
}

TEST(NewCompanyDialog, FieldsHoldAtMostFifteenCharacters) {
  ScriptedDBBeView view;
  TfrmDBBe dialog(view);
  dialog.eCegnevChange("Árvíztűrő tükörfúrógép");
  dialog.eDatabaseChange("adatbazis_nagyon_hosszu");
  EXPECT_EQ(dialog.Cegnev(), "Árvíztűrő tükör");
  EXPECT_EQ(dialog.Database(), "adatbazis_nagyo");
}

TEST(NewCompanyDialog, DisabledRendbenAndMegsemDoNotConfirm) {
  ScriptedDBBeView view;
  TfrmDBBe dialog(view);
  dialog.eCegnevChange("Kovács Kft");
  dialog.eDatabaseChange("ab");
  dialog.bRendbenClick();  // disabled: no effect
  EXPECT_FALSE(dialog.Confirmed());
  dialog.eDatabaseChange("ceg1");
  dialog.bRendbenClick();
  dialog.bMegsemClick();
  EXPECT_FALSE(dialog.Confirmed());
  EXPECT_EQ(dialog.Result(), "");
}

TEST(NewCompanyDialog, ResetFieldsEmptiesEverythingBeforeEachUse) {
  ScriptedDBBeView view;
  TfrmDBBe dialog(view);
  view.script = [](TfrmDBBe& d) {
    d.eCegnevChange("Kovács Kft");
    d.eDatabaseChange("ceg1");
    d.bRendbenClick();
  };
  dialog.ResetFields();
  ASSERT_TRUE(dialog.ShowModal());
  dialog.ResetFields();
  EXPECT_EQ(dialog.Cegnev(), "");
  EXPECT_EQ(dialog.Database(), "");
  EXPECT_EQ(dialog.Result(), "");
  EXPECT_FALSE(dialog.RendbenEnabled());
  view.script = [](TfrmDBBe& d) { d.FormClose(); };
  EXPECT_FALSE(dialog.ShowModal());
}

TEST(ReportDirDialog, SetDirectoryTrimsAndEnablesRendbenOnlyWithText) {
  ScriptedRepUtView view;
  TfrmRepUt dialog(view);
  dialog.SetDirectory("  \\\\srv\\riport\t ");
  EXPECT_EQ(view.shownDirectory, "\\\\srv\\riport");
  EXPECT_TRUE(view.rendbenEnabled);
  dialog.SetDirectory("");
  EXPECT_FALSE(view.rendbenEnabled);
  dialog.bRendbenClick();
  EXPECT_FALSE(dialog.Confirmed());
}

TEST(ReportDirDialog, ResultIsTheFieldTrimmed) {
  ScriptedRepUtView view;
  TfrmRepUt dialog(view);
  view.script = [](TfrmRepUt& d) {
    d.eDirChange("  D:\\Riportok  ");
    d.bRendbenClick();
  };
  dialog.SetDirectory("");
  ASSERT_TRUE(dialog.ShowModal());
  EXPECT_EQ(dialog.Result(), "D:\\Riportok");
}

TEST(ReportDirDialog, CancelLeavesNoResult) {
  ScriptedRepUtView view;
  TfrmRepUt dialog(view);
  view.script = [](TfrmRepUt& d) {
    d.eDirChange("D:\\Riportok");
    d.bMegsemClick();
  };
  dialog.SetDirectory("C:\\Regi");
  EXPECT_FALSE(dialog.ShowModal());
  EXPECT_EQ(dialog.Result(), "");
}

TEST(ConfirmDialog, AnswersIgenOnlyForIgen) {
  ScriptedDialogusView view;
  TfrmDialogus dialog(view);
  EXPECT_EQ(dialog.Question(), "Valóban töröljem ?");

  view.script = [](TfrmDialogus& d) { d.bIgenClick(); };
  EXPECT_EQ(dialog.Confirm("Mehet a verzióváltás ?"), "IGEN");
  EXPECT_EQ(view.question, "Mehet a verzióváltás ?");

  view.script = [](TfrmDialogus& d) { d.bNemClick(); };
  EXPECT_EQ(dialog.Confirm("Valóban töröljem ?"), "NEM");
}

TEST(ConfirmDialog, ClosingTheWindowAfterAnEarlierYesCountsAsNo) {
  ScriptedDialogusView view;
  TfrmDialogus dialog(view);
  view.script = [](TfrmDialogus& d) { d.bIgenClick(); };
  ASSERT_EQ(dialog.Confirm("Első ?"), "IGEN");
  view.script = nullptr;  // closed by the close box
  EXPECT_EQ(dialog.Confirm("Második ?"), "NEM");
}

}  // namespace
}  // namespace moltaro::instances
