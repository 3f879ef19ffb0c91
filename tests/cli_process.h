// Runs the built moltaro-cli as a separate process, the way an operator's
// shell does, and tells how it ended: killed, or exited with a status.
#pragma once

#include <signal.h>
#include <sys/wait.h>

#include <array>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

namespace moltaro::testing {

struct CliOutcome {
  bool killed = false;  // ended by SIGKILL
  int status = -1;      // exit status when it exited
  std::string out;
  std::string err;
};

// The text as one word for the shell.
inline std::string ShellQuote(const std::string& text) {
  std::string quoted = "'";
  for (char c : text) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// `program arguments` with `environment` ("NAME=value …") added, no input;
// standard error goes through `errFile`.
inline CliOutcome RunProcess(const std::string& program, const std::string& arguments,
                             const std::string& environment, const std::filesystem::path& errFile) {
  const std::string command = "exec env " + environment + " " + program + " " + arguments + " 2>" +
                              ShellQuote(errFile.string()) + " </dev/null";
  CliOutcome outcome;
  FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return outcome;
  std::array<char, 4096> buffer{};
  for (std::size_t n; (n = fread(buffer.data(), 1, buffer.size(), pipe)) > 0;) {
    outcome.out.append(buffer.data(), n);
  }
  const int raw = pclose(pipe);
  outcome.killed = WIFSIGNALED(raw) && WTERMSIG(raw) == SIGKILL;
  outcome.status = WIFEXITED(raw) ? WEXITSTATUS(raw) : -1;
  std::ifstream in(errFile, std::ios::binary);
  outcome.err.assign(std::istreambuf_iterator<char>(in), {});
  return outcome;
}

}  // namespace moltaro::testing
