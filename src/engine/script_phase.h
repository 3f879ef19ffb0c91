// The phases that send free SQL text from the catalogue: pre-run scripts
// ("E"), procedures and functions ("P") and post-run scripts ("U").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/run_context.h"

namespace moltaro::engine {

// The text of a script or procedure head: its chunks joined in order.
std::string ReadCatalogueText(RunContext& run, std::int64_t headId);

// The script phase of kind "E" or "U", in the heads' order.
void RunScripts(RunContext& run, std::string_view kind);

// A script split into its pieces at "$$" (a "$$" ending a line takes the
// line break with it). No empty last piece comes from a closing "$$".
std::vector<std::string> SplitScript(std::string_view text);

// The comment filter of one piece: the text to send, or nothing when the
// piece is skipped (inside a comment, or a "--"/"//" line). `inComment`
// carries the state from piece to piece within one script.
std::optional<std::string> FilterScriptPiece(std::string_view piece, bool& inComment);

// Filters one piece and sends what is left with the given error kind.
void ExecuteScriptPiece(RunContext& run, std::string_view piece, std::string_view errorKind);

// A procedure or function text with its keywords in upper case, and the
// name it defines (upper case). `defines` is false when the text has no
// PROCEDURE or FUNCTION keyword in lower or upper case; nothing is sent then.
struct ProcedureText {
  bool defines = false;
  std::string text;
  std::string name;
};
ProcedureText PrepareProcedureText(std::string_view text);

// The text to send: CREATE turned into ALTER when the object exists, ALTER
// into CREATE when it does not.
std::string ProcedureStatement(std::string_view preparedText, bool exists);

void ReconcileProcedures(RunContext& run);

}  // namespace moltaro::engine
