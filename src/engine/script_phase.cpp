#include "engine/script_phase.h"

#include "common/text.h"
#include "engine/db_values.h"

namespace moltaro::engine {

namespace {

constexpr const char* kScriptHeadsQuery =
    "select a.ID, a.HIBA, a.NEV, a.UTASIT from ZMP_OBJ_FEJ a\r\n"
    " where a.VERZIO<>'T' and a.TIPUS=:xTIPUS order by a.SOR";
constexpr const char* kProcedureHeadsQuery =
    "select a.ID, a.NEV, a.HIBA, a.UTASIT from ZMP_OBJ_FEJ a \r\n"
    " where a.VERZIO<>'T' and a.TIPUS='P' order by a.SOR";
constexpr const char* kTextQuery =
    "select b.SZOVEG from ZMP_OBJ_SZOVEG b where b.FEJ_ID=:xfej_id order by b.SOR";
constexpr const char* kProcedureExistsQuery =
    "select NAME from SYSOBJECTS where NAME=:xNAME and TYPE in ('P', 'FN')";

constexpr std::string_view kSeparator = "$$";

// Characters of the text after PROCEDURE that may hold the name.
constexpr std::size_t kNameWindow = 100;

std::string AfterFirst(std::string_view text, std::string_view mark) {
  return std::string(text.substr(text.find(mark) + mark.size()));
}

}  // namespace

std::string ReadCatalogueText(RunContext& run, std::int64_t headId) {
  db::ResultSet chunks = run.dbForras->Query(kTextQuery, {headId});
  std::string text;
  for (; !chunks.Eof(); chunks.Next()) text += chunks.Text("SZOVEG");
  return text;
}

std::vector<std::string> SplitScript(std::string_view text) {
  std::string rest = ReplaceAll(std::string(text) + std::string(kSeparator), "$$\r\n", "$$");
  std::vector<std::string> pieces;
  std::string_view remaining = rest;
  while (remaining.size() > kSeparator.size()) {
    const std::size_t at = remaining.find(kSeparator);
    if (at == std::string_view::npos) {
      pieces.emplace_back(remaining);
      break;
    }
    pieces.emplace_back(remaining.substr(0, at));
    remaining.remove_prefix(at + kSeparator.size());
  }
  return pieces;
}

std::optional<std::string> FilterScriptPiece(std::string_view piece, bool& inComment) {
  const std::string trimmed = Trim(piece);
  const std::string head = trimmed.substr(0, 2);
  std::string body(piece);
  if (trimmed.rfind("/*", 0) == 0 || trimmed.rfind("{", 0) == 0) inComment = true;
  if (inComment) {
    // Either closing mark ends either kind of comment.
    if (body.find("*/") != std::string::npos) {
      inComment = false;
      body = AfterFirst(body, "*/");
    }
    if (body.find('}') != std::string::npos) {
      inComment = false;
      body = AfterFirst(body, "}");
    }
  }
  if (inComment || head == "--" || head == "//") return std::nullopt;
  return body;
}

void ExecuteScriptPiece(RunContext& run, std::string_view piece, std::string_view errorKind) {
  if (const auto body = FilterScriptPiece(piece, run.state.InComment)) {
    run.ExecuteStatement(*body, errorKind);
  }
}

void RunScripts(RunContext& run, std::string_view kind) {
  db::ResultSet heads = run.dbForras->Query(kScriptHeadsQuery, {std::string(kind)});
  for (; !heads.Eof(); heads.Next()) {
    run.ShowStatus(ValtLabel::lObj, heads.Text("NEV"));
    const std::string text = ReadCatalogueText(run, WholeNumber(heads, "ID"));
    const std::string errorKind = heads.Text("HIBA");
    run.state.InComment = false;
    if (!text.empty()) {
      if (heads.Text("UTASIT") == "E") {
        ExecuteScriptPiece(run, text, errorKind);
      } else {
        for (const std::string& piece : SplitScript(text)) {
          ExecuteScriptPiece(run, piece, errorKind);
        }
      }
    }
    run.StepProgress();
  }
}

ProcedureText PrepareProcedureText(std::string_view text) {
  ProcedureText result;
  result.text = ReplaceAll(text, "alter", "ALTER");
  result.text = ReplaceAll(result.text, "create", "CREATE");
  result.text = ReplaceAll(result.text, "function", "FUNCTION");
  result.text = ReplaceAll(result.text, "procedure", "PROCEDURE");
  const std::string probe = ReplaceAll(result.text, "FUNCTION", "PROCEDURE");
  const std::size_t keyword = probe.find("PROCEDURE");
  if (keyword == std::string::npos) return result;
  result.defines = true;
  std::string name = Trim(Utf8Left(
      std::string_view(probe).substr(keyword + std::string_view("PROCEDURE").size()), kNameWindow));
  const std::size_t end = name.find_first_of(" (\r");
  if (end != std::string::npos) name.resize(end);
  result.name = ToUpperAscii(name);
  return result;
}

std::string ProcedureStatement(std::string_view preparedText, bool exists) {
  return exists ? ReplaceAll(preparedText, "CREATE", "ALTER")
                : ReplaceAll(preparedText, "ALTER", "CREATE");
}

void ReconcileProcedures(RunContext& run) {
  db::ResultSet heads = run.dbForras->Query(kProcedureHeadsQuery);
  for (; !heads.Eof(); heads.Next()) {
    const std::string text = ReadCatalogueText(run, WholeNumber(heads, "ID"));
    const ProcedureText procedure = PrepareProcedureText(text);
    if (!text.empty() && procedure.defines) {
      run.ShowStatus(ValtLabel::lObj, procedure.name);
      const bool exists = !run.dbCel->Query(kProcedureExistsQuery, {procedure.name}).IsNull("NAME");
      run.WriteLog(procedure.name);
      run.ExecuteStatement(ProcedureStatement(procedure.text, exists), heads.Text("HIBA"));
    }
    run.StepProgress();
  }
}

}  // namespace moltaro::engine
