// Talking to the operator on a terminal.
#pragma once

#include <string>

namespace moltaro::cli {

bool StdinIsTerminal();

// Prints the prompt on stderr and reads one line from stdin; with `hidden`
// the typed characters are not echoed. False at end of input.
bool ReadLine(const std::string& prompt, bool hidden, std::string& line);

// Asks a yes/no question; true only for an answer starting with i/I/y/Y
// ("igen"/"yes"). No terminal, or end of input, counts as no.
bool AskYesNo(const std::string& question);

}  // namespace moltaro::cli
