// The conversion window's commands on an instance of the example schema: the
// run over a directory of export files, its failures, and "Törlés".
#include <gtest/gtest.h>

#include <filesystem>

#include "convert/instance_fixture.h"
#include "convert/konvert.h"
#include "convert/konvert_doubles.h"
#include "convert/run_steps.h"
#include "startup/instance_lock.h"

namespace moltaro::convert::testing {
namespace {

class KonvertTest : public InstanceTest {
 protected:
  void SetUp() override {
    InstanceTest::SetUp();
    window.Connect(ConnectionString(database), database);
    window.dEditChange(exports.Path().string());
  }

  // Every export file present and empty, so a run reads all nineteen steps.
  void WriteEmptyExports() {
    for (const RunStep& step : RunSteps()) exports.Write(step.fileName, "");
  }

  std::string Version() { return Scalar("select szam from zmp_obj_ver"); }

  TempDir exports;
  RecordingKonvertView view;
  ScriptedQuestions questions;
  RecordingMessages shown;
  Tkonvert window{view, questions, shown};
};

TEST_F(KonvertTest, TheDirectoryEditGivesTheSourceDirectoryAndTheFileMask) {
  const std::string dir = exports.Path().string();
  EXPECT_EQ(window.SourceDirectory(), dir + "/");
  EXPECT_EQ(view.mask, dir + "/*.txt");
  window.dEditChange(dir + "/");
  EXPECT_EQ(window.SourceDirectory(), dir + "/") << "no doubled separator";
  window.dEditChange("/");
  EXPECT_EQ(window.SourceDirectory(), "/");
  window.dEditChange("");
  EXPECT_EQ(window.SourceDirectory(), "");
  EXPECT_EQ(view.mask, "");
  window.btnVisszaClick();
  EXPECT_TRUE(view.closed);
}

TEST_F(KonvertTest, ARunOverEmptyFilesGoesThroughEveryStepAndStampsTheVersion) {
  WriteEmptyExports();
  window.Button1Click();
  ASSERT_EQ(window.LastOutcome(), Tkonvert::Outcome::Succeeded) << window.LastError();
  EXPECT_EQ(questions.asked, std::vector<std::string>{"Mehet ? "});
  EXPECT_EQ(shown.shown, std::vector<std::string>{"Rendben lefutott !"});
  EXPECT_TRUE(view.errors.empty());
  // Label1 showed every file in run order, then was emptied.
  ASSERT_EQ(view.labels.size(), 20u);
  EXPECT_EQ(view.labels[0], window.SourceDirectory() + "ypjt.txt");
  EXPECT_EQ(view.labels[2], window.SourceDirectory() + "ypsztsz.txt");
  EXPECT_EQ(view.labels[18], window.SourceDirectory() + "ypsztsz.txt");
  EXPECT_EQ(view.labels[19], "");
  EXPECT_EQ(view.repaints, 19);
  EXPECT_EQ(view.bar1.maximum, 0);
  EXPECT_EQ(view.bar1.position, 19);
  EXPECT_EQ(view.bar2.maximum, 0);
  // The fixed codes go in even when ypkod.txt has no record; the closing
  // procedure kept the year; the stamp is there.
  EXPECT_EQ(Scalar("select count(*) from zmp_kodtar"), "21");
  EXPECT_EQ(Scalar("select count(*) from zmp_kod"), "139");
  EXPECT_EQ(Scalar("select kod from zmp_puy where nev = 'PWKONVEV'"), "2009");
  EXPECT_EQ(Version(), " 3.33 ");
}

// Rows each table holds after a run over the example company.
const std::vector<std::pair<std::string, int>> kExampleRows{
    {"zmp_jt", 12},     {"zmp_kszt", 36},   {"zmp_kszt3", 108}, {"zmp_pszab", 36},
    {"zmp_cim", 36},    {"zmp_jogc", 72},   {"zmp_csp", 41},    {"zmp_pszlatuk", 5},
    {"zmp_kjt", 17},    {"zmp_ptag", 17},   {"zmp_naplo", 10},  {"zmp_pszak", 12},
    {"zmp_ido", 396},   {"zmp_tido", 216},  {"zmp_havih", 36},  {"zmp_havi", 792},
    {"zmp_kszt2", 396}, {"zmp_kodtar", 21}, {"zmp_kod", 145},   {"zmp_belap", 72},
    {"zmp_utalas", 36},
};

TEST_F(KonvertTest, TheExampleCompanyConvertsWholeAndTorlesThenARerunGivesTheSameRows) {
  // The upgrade's own journal row is not the conversion's: "Törlés" would
  // take it too, and the rerun could not give it back.
  work.Execute("delete from zmp_naplo");
  window.dEditChange(std::string(MOLTARO_EXAMPLES_DIR) + "/legacy");
  window.Button1Click();
  ASSERT_EQ(window.LastOutcome(), Tkonvert::Outcome::Succeeded) << window.LastError();
  EXPECT_EQ(shown.shown, std::vector<std::string>{"Rendben lefutott !"});
  for (const auto& [table, rows] : kExampleRows) {
    EXPECT_EQ(Scalar("select count(*) from " + table), std::to_string(rows)) << table;
  }
  // Settings: the upgrade's report directory, the five of the file and the
  // converted year.
  EXPECT_EQ(Scalar("select count(*) from zmp_puy where nev like 'PW%'"), "7");
  EXPECT_EQ(window.ProcessingMonth(), " 11");
  // The DOS letters arrive as themselves; ALLAMP lost its trailing blank.
  EXPECT_EQ(Scalar("select rtrim(kod) from zmp_puy where nev = 'PWCEGNEV'"),
            "Példa Bérszámfejtő Kft.");
  EXPECT_EQ(Scalar("select count(*) from zmp_kszt where allamp = 'HU' and len(acimv) > 0"), "36");
  // The second pass over ypsztsz.txt reached the processing month's rows only.
  EXPECT_EQ(Scalar("select count(*) from zmp_kszt2 where honap = 11 and adojo = 'I'"), "36");
  EXPECT_EQ(Scalar("select count(*) from zmp_kszt2 where adojo = 'I'"), "36");
  EXPECT_EQ(Scalar("select count(*) from zmp_kszt2 where adojo = 'N'"), "360");
  EXPECT_EQ(Version(), " 3.33 ");

  const auto snapshot = [this] {
    std::vector<std::string> counts;
    for (const auto& [table, rows] : kExampleRows) {
      counts.push_back(Scalar("select count(*) from " + table));
    }
    counts.push_back(Scalar("select sum(cast(ber as decimal(14,2))) from zmp_havi"));
    counts.push_back(Scalar("select count(distinct szemely) from zmp_kszt"));
    counts.push_back(Scalar("select sum(nap1) from zmp_tido"));
    counts.push_back(
        Scalar("select count(*) from zmp_cim c join zmp_kszt k on k.szem_id = c.szem_id"
               " where c.varos = k.acimv"));
    counts.push_back(Scalar("select count(*) from zmp_kszt2 where adojo = 'I'"));
    counts.push_back(Scalar("select count(*) from zmp_puy"));
    return counts;
  };
  const std::vector<std::string> clean = snapshot();
  window.Button2Click();
  ASSERT_EQ(window.LastOutcome(), Tkonvert::Outcome::Succeeded) << window.LastError();
  EXPECT_EQ(Scalar("select count(*) from zmp_cim"), "0");
  EXPECT_EQ(Scalar("select count(*) from zmp_utalas"), "0");
  window.Button1Click();
  ASSERT_EQ(window.LastOutcome(), Tkonvert::Outcome::Succeeded) << window.LastError();
  EXPECT_EQ(snapshot(), clean);
}

TEST_F(KonvertTest, AnyAnswerButIgenLeavesTheDatabaseAlone) {
  WriteEmptyExports();
  const std::string before = Version();
  for (const char* answer : {"NEM", "igen", ""}) {
    questions.answer = answer;
    window.Button1Click();
    EXPECT_EQ(window.LastOutcome(), Tkonvert::Outcome::NotRun);
    window.Button2Click();
    EXPECT_EQ(window.LastOutcome(), Tkonvert::Outcome::NotRun);
  }
  EXPECT_EQ(Scalar("select count(*) from zmp_kod"), "0");
  EXPECT_EQ(Version(), before);
  EXPECT_TRUE(view.labels.empty());
}

TEST_F(KonvertTest, AMissingFileOrADirectoryStopsTheRunWithoutTheStamp) {
  WriteEmptyExports();
  const std::string before = Version();
  std::filesystem::remove(exports.Path() / "ypuy.txt");
  window.Button1Click();
  ASSERT_EQ(window.LastOutcome(), Tkonvert::Outcome::Failed);
  ASSERT_EQ(view.errors.size(), 1u);
  EXPECT_NE(view.errors[0].find("ypuy.txt"), std::string::npos) << view.errors[0];
  EXPECT_TRUE(shown.shown.empty());
  EXPECT_EQ(Version(), before);
  EXPECT_EQ(view.bar1.position, 10) << "the bars keep their last state";
  EXPECT_EQ(Scalar("select count(*) from zmp_kod"), "0") << "later steps did not run";

  std::filesystem::create_directory(exports.Path() / "ypuy.txt");
  window.Button1Click();
  ASSERT_EQ(window.LastOutcome(), Tkonvert::Outcome::Failed);
  EXPECT_NE(window.LastError().find("ypuy.txt"), std::string::npos) << window.LastError();
  EXPECT_EQ(Version(), before);
}

TEST_F(KonvertTest, ARunIsRefusedWhileAnotherSessionHoldsTheInstance) {
  WriteEmptyExports();
  db::Connection other(ConnectionString(database));
  other.Open();
  {
    const InstanceLock held(other, database);
    window.Button1Click();
    EXPECT_EQ(window.LastOutcome(), Tkonvert::Outcome::Failed);
    EXPECT_EQ(window.LastError(), InstanceBusyMessage(database));
    window.Button2Click();
    EXPECT_EQ(window.LastError(), InstanceBusyMessage(database));
    EXPECT_TRUE(view.labels.empty()) << "refused before anything was read";
  }
  window.Button1Click();
  EXPECT_EQ(window.LastOutcome(), Tkonvert::Outcome::Succeeded) << window.LastError();
}

TEST_F(KonvertTest, TorlesEmptiesTheConvertedTablesAndKeepsTheVersion) {
  WriteEmptyExports();
  window.Button1Click();
  ASSERT_EQ(window.LastOutcome(), Tkonvert::Outcome::Succeeded) << window.LastError();
  view.labels.clear();
  window.Button2Click();
  ASSERT_EQ(window.LastOutcome(), Tkonvert::Outcome::Succeeded) << window.LastError();
  EXPECT_EQ(questions.asked.back(), "Valóban töröljem ?");
  EXPECT_EQ(questions.kinds.back(), QuestionKind::DestroysData) << "Enter must not confirm it";
  EXPECT_EQ(shown.shown.back(), "Kész !");
  ASSERT_EQ(view.labels.size(), kDeleteStatements.size() + 1);
  EXPECT_EQ(view.labels[0], "zmp_jt");
  EXPECT_EQ(view.labels[19], "zmp_pszab");
  EXPECT_EQ(view.labels[20], "zmp_cim");
  EXPECT_EQ(view.labels.back(), "");
  EXPECT_EQ(view.button2, "Törlés");
  EXPECT_EQ(view.button1Focused, 1);
  EXPECT_EQ(view.bar1.maximum, 0);
  EXPECT_EQ(Scalar("select count(*) from zmp_kod"), "0");
  EXPECT_EQ(Scalar("select count(*) from zmp_kodtar"), "0");
  EXPECT_EQ(Scalar("select count(*) from zmp_puy where nev = 'PWKONVEV'"), "0");
  EXPECT_EQ(Scalar("select count(*) from zmp_puy where nev = 'PWREPUT'"), "1")
      << "the operator's report directory stays";
  EXPECT_EQ(Version(), " 3.33 ");
}

TEST_F(KonvertTest, AFailingDeleteLeavesTheBusyCaption) {
  work.Execute("drop table zmp_naplo");
  window.Button2Click();
  ASSERT_EQ(window.LastOutcome(), Tkonvert::Outcome::Failed);
  EXPECT_EQ(view.button2, "kis türelmet");
  EXPECT_EQ(view.label, "zmp_naplo");
  EXPECT_TRUE(shown.shown.empty());
}

}  // namespace
}  // namespace moltaro::convert::testing
