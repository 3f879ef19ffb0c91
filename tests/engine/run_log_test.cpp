#include "engine/run_log.h"

#include <gtest/gtest.h>

#include "engine/run_context.h"
#include "engine/version_loader.h"
#include "recording_display.h"
#include "temp_dir.h"

namespace moltaro::engine {
namespace {

using testing::RecordingDisplay;
using testing::TempDir;

TEST(RunLogFileName, KeepsOrdinaryNames) {
  EXPECT_EQ(RunLogFileName("ZMP_Ceg1"), "ZMP_Ceg1_verzio.log");
  EXPECT_EQ(RunLogFileName("Kovács Bt."), "Kovács Bt._verzio.log");
}

TEST(RunLogFileName, CannotLeaveTheWorkDirectory) {
  for (const std::string name : {"../x", "..\\..\\x", "/etc/passwd", "a/../../b", ".."}) {
    const std::filesystem::path file(RunLogFileName(name));
    EXPECT_EQ(file.parent_path(), std::filesystem::path()) << name;
    EXPECT_EQ(file.string().find(".."), std::string::npos) << name;
  }
}

TEST(RunLog, WritesWindows1250LinesWithCrLf) {
  TempDir dir;
  RunLog log;
  log.Recreate(dir.Path() / "a_verzio.log");
  log.WriteLine("ZMP_OBJ_FEJ Ok");
  log.WriteLine("");
  log.WriteLine("Tábla kész ! (00:01)");
  log.Close();
  EXPECT_EQ(dir.Read("a_verzio.log"),
            "ZMP_OBJ_FEJ Ok\r\n\r\nT\xe1"
            "bla k\xe9sz ! (00:01)\r\n");
}

TEST(RunLog, MultiLineMessagesEndEveryLineInCrLf) {
  TempDir dir;
  RunLog log;
  log.Recreate(dir.Path() / "a_verzio.log");
  log.WriteLine(" Msg 102\nIncorrect syntax\rnear 'x'.\r\nend");
  log.Close();
  EXPECT_EQ(dir.Read("a_verzio.log"), " Msg 102\r\nIncorrect syntax\r\nnear 'x'.\r\nend\r\n");
}

TEST(RunLog, RecreatingDropsTheEarlierRun) {
  TempDir dir;
  dir.Write("a_verzio.log", "old run\r\n");
  RunLog log;
  log.Recreate(dir.Path() / "a_verzio.log");
  log.WriteLine("new run");
  log.Close();
  EXPECT_EQ(dir.Read("a_verzio.log"), "new run\r\n");
}

TEST(RunLog, AnUncreatableLogIsSkippedSilently) {
  TempDir dir;
  RunLog log;
  log.Recreate(dir.Path() / "missing" / "a_verzio.log");
  EXPECT_FALSE(log.IsOpen());
  EXPECT_NO_THROW(log.WriteLine("lost"));
}

// A run context whose target connection is not open: every statement fails
// with an error that is not the server's.
class UnopenedRun : public ::testing::Test {
 protected:
  UnopenedRun() : run(display, db::MakeServerConnection) {
    run.workDirectory = dir.Path();
    run.log.Recreate(dir.Path() / "t_verzio.log");
  }
  std::string Log() {
    run.log.Close();
    return dir.Read("t_verzio.log");
  }

  TempDir dir;
  RecordingDisplay display;
  RunContext run;
};

TEST_F(UnopenedRun, TolerantStatementFailureIsLoggedWithoutFailingTheRun) {
  EXPECT_FALSE(run.ExecuteStatement("  create index x on t (a)\r\n", kTolerated));
  EXPECT_FALSE(run.state.Failed);
  EXPECT_EQ(run.state.LastError, "");
  EXPECT_EQ(Log(),
            " EGY\xc9"
            "B HIBA  (elmegy)\r\n Utas\xedt\xe1s : create index x on t (a)\r\n");
}

TEST_F(UnopenedRun, FatalStatementFailureFailsTheRun) {
  EXPECT_FALSE(run.ExecuteStatement("drop table x", kFatal));
  EXPECT_TRUE(run.state.Failed);
  EXPECT_EQ(run.state.LastError, "Hiba a vezió váltás közben !");
  EXPECT_EQ(Log(),
            " EGY\xc9"
            "B HIBA \r\n Utas\xedt\xe1s : drop table x\r\n");
}

TEST_F(UnopenedRun, MissingVersionFileFailsWithItsMessage) {
  LoadVersionFile(run);
  EXPECT_TRUE(run.state.Failed);
  EXPECT_EQ(run.state.LastError, "Nincs meg a verzió file !");
  EXPECT_EQ(Log(), "Nincs meg a verzi\xf3 file !\r\n");
}

TEST_F(UnopenedRun, HeaderAndTrailerMustBeIdentical) {
  dir.Write("verzio.ver", "$$V$$2.0$$\r\n$$T$$1$$ZMP_A$$\r\n$$V$$2.1$$\r\n");
  LoadVersionFile(run);
  EXPECT_TRUE(run.state.Failed);
  EXPECT_EQ(run.state.LastError, "Hibás a verzió file !");
}

TEST_F(UnopenedRun, AnEmptyLineAfterTheTrailerIsTheTrailer) {
  dir.Write("verzio.ver", "$$V$$2.0$$\r\n$$V$$2.0$$\r\n\r\n");
  LoadVersionFile(run);
  EXPECT_EQ(run.state.LastError, "Hibás a verzió file !");
}

TEST_F(UnopenedRun, AOneLineFileHasAnEmptyTrailer) {
  dir.Write("verzio.ver", "$$V$$2.0$$\r\n");
  LoadVersionFile(run);
  EXPECT_EQ(run.state.LastError, "Hibás a verzió file !");
}

TEST_F(UnopenedRun, AHeaderWithoutVersionNamesItsLine) {
  dir.Write("verzio.ver", "");
  LoadVersionFile(run);
  EXPECT_TRUE(run.state.Failed);
  EXPECT_EQ(run.state.LastError, "Hibás a verzió file 1. sora (a fejlécben nincs verziószám): ");
}

}  // namespace
}  // namespace moltaro::engine
