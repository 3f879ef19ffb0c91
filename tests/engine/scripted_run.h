// A run context on a scripted server, with its log in a temporary directory.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/codepage.h"
#include "engine/run_context.h"
#include "recording_display.h"
#include "scripted_server.h"
#include "temp_dir.h"

namespace moltaro::engine::testing {

class ScriptedRunTest : public ::testing::Test {
 protected:
  ScriptedRunTest() : run(display, server.Factory()) {
    run.workDirectory = dir.Path();
    run.state.TargetDatabase = "ZMP_CEG";
    run.state.PhaseMask = "IIIII";
    run.state.LoginName = "sa";
    run.state.LoginPassword = "titok";
    run.log.Recreate(dir.Path() / "ZMP_CEG_verzio.log");
  }

  // The log so far as UTF-8; closes it.
  std::string LogText() {
    run.log.Close();
    return Cp1250ToUtf8(dir.Read("ZMP_CEG_verzio.log"));
  }

  // The log's lines (split at CR LF, so a logged multi-line statement spans
  // several entries).
  std::vector<std::string> LogLines() {
    const std::string text = LogText();
    std::vector<std::string> lines;
    std::size_t start = 0;
    for (std::size_t end; (end = text.find("\r\n", start)) != std::string::npos; start = end + 2) {
      lines.push_back(text.substr(start, end - start));
    }
    EXPECT_EQ(start, text.size()) << "the log ends with a line end";
    return lines;
  }

  TempDir dir;
  RecordingDisplay display;
  ScriptedServer server;
  RunContext run;
};

}  // namespace moltaro::engine::testing
