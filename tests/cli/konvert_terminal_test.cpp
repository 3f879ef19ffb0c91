#include "cli/konvert_terminal.h"

#include <gtest/gtest.h>

#include <sstream>

namespace moltaro::cli {
namespace {

using convert::KonvertBar;

TEST(KonvertTerminal, TheLineShowsStepFileAndRecordWithinTheWidth) {
  std::ostringstream err;
  TerminalKonvertView view(err, true, 40);
  EXPECT_EQ(view.Line(), "");
  view.SetBarRange(KonvertBar::ProgressBar1, 0, 20);
  view.SetBarPosition(KonvertBar::ProgressBar1, 3);
  view.ShowLabel("/adat/ypsztsz.txt");
  EXPECT_EQ(view.Line(), "[3/20] /adat/ypsztsz.txt");
  view.SetBarRange(KonvertBar::ProgressBar2, 0, 34);
  view.SetBarPosition(KonvertBar::ProgressBar2, 0);
  EXPECT_EQ(view.Line(), "[3/20] /adat/ypsztsz.txt  1/35");
  view.ShowLabel("/nagyon/hosszú/könyvtár/neve/itt/ypsztsz.txt");
  EXPECT_EQ(view.Line(), "[3/20] /nagyon/hosszú/könyvtár/neve/itt")
      << "39 characters: one short of the width";
  view.Finish();
  EXPECT_EQ(err.str().substr(err.str().size() - 4), "\r\033[K") << "the line is cleared";
}

TEST(KonvertTerminal, NothingIsDrawnOffATerminalAndMessagesAreOneLineEach) {
  std::ostringstream out, err;
  TerminalKonvertView view(err, false);
  view.ShowLabel("ypjt.txt");
  EXPECT_EQ(err.str(), "");
  TerminalKonvertMessages messages(out, err, view);
  messages.ShowMessage("00000001000\nViolation of PRIMARY KEY");
  messages.ShowMessage("Rendben lefutott !");
  view.ShowError("yptido.txt 3. sora: '' is not a valid integer value");
  EXPECT_EQ(err.str(),
            "00000001000 Violation of PRIMARY KEY\n"
            "yptido.txt 3. sora: '' is not a valid integer value\n");
  EXPECT_EQ(out.str(), "Rendben lefutott !\n");
  EXPECT_EQ(TerminalKonvertQuestions(true).Confirm("Mehet ? ", convert::QuestionKind::GoesAhead),
            "IGEN");
  EXPECT_EQ(TerminalKonvertQuestions(false).Confirm("Mehet ? ", convert::QuestionKind::GoesAhead),
            "NEM")
      << "no terminal: no";
}

}  // namespace
}  // namespace moltaro::cli
