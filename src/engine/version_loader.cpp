#include "engine/version_loader.h"

#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <vector>

#include "common/text.h"
#include "db/errors.h"
#include "engine/record_field.h"
#include "engine/version_check.h"
#include "engine/version_file.h"

namespace moltaro::engine {

namespace {

constexpr const char* kInsertTextHead =
    "insert into ZMP_OBJ_FEJ ( id, tipus, nev, sor, hiba, utasit, verzio)\r\n"
    "values (:xid, :xtipus, :xnev, :xsor, :xhiba, :xutasit, 'I')";
constexpr const char* kInsertIndexHead =
    "insert into zmp_obj_fej ( id, tipus, nev, fej_id, verzio)\r\n"
    "values (:xid, :xtipus, :xnev, :xfej_id, 'I')";
constexpr const char* kInsertTableHead =
    "insert into zmp_obj_fej (id, tipus, nev, verzio)\r\n"
    "values (:xid, :xtipus, :xnev, 'I')";
constexpr const char* kInsertColumn =
    "insert into zmp_obj_gyerek ( id, fej_id, sor, nev, tipus, hossz, tizedes, notnull, deflt)\r\n"
    "values (:xid, :xfej_id, :xsor, :xnev, :xtipus, :xhossz, :xtizedes, :xnotnull, :xdeflt)";
constexpr const char* kInsertIndexKey =
    "insert into zmp_obj_gyerek ( id, fej_id, gyerek_id, sor)\r\n"
    "values (:xid, :xfej_id, :xgyerek_id, :xsor)";
constexpr const char* kInsertTextChunk =
    "insert into zmp_obj_szoveg (fej_id, sor, szoveg) values (:xfej_id, :xsor, :xszoveg)";

std::optional<std::string> ReadFileBytes(const std::filesystem::path& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) return std::nullopt;
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

db::Value Field(std::string_view record, int n) {
  return RecordField(record, n);
}

// Writes the catalogue row of one record; kinds the catalogue does not know
// write nothing.
void InsertRecord(RunContext& run, char kind, std::string_view record) {
  const std::string tipus(1, kind);
  switch (kind) {
    case 'E':
    case 'P':
    case 'U':
      run.dbCel->Execute(kInsertTextHead, {Field(record, 2), tipus, Field(record, 3),
                                           Field(record, 4), Field(record, 5), Field(record, 6)});
      break;
    case 'I':
      run.dbCel->Execute(kInsertIndexHead,
                         {Field(record, 2), tipus, Field(record, 4), Field(record, 3)});
      break;
    case 'T':
      run.dbCel->Execute(kInsertTableHead, {Field(record, 2), tipus, Field(record, 3)});
      break;
    case 't':
      run.dbCel->Execute(kInsertColumn,
                         {Field(record, 2), Field(record, 3), Field(record, 4), Field(record, 5),
                          Field(record, 6), Field(record, 7), Field(record, 8), Field(record, 9),
                          NormaliseDefault(RecordField(record, 6), RecordField(record, 9),
                                           RecordField(record, 10))});
      break;
    case 'i':
      run.dbCel->Execute(kInsertIndexKey,
                         {Field(record, 2), Field(record, 3), Field(record, 4), Field(record, 5)});
      break;
    default:
      break;
  }
}

// A text collected from text lines, waiting for the record line that ends it.
struct PendingText {
  std::string text;
  std::size_t firstLine = 0;  // where it began, for messages
};

void FailOnLine(RunContext& run, std::size_t lineNumber, std::string_view cause,
                std::string_view line) {
  run.Fail(FaultyLineMessage(lineNumber, cause, line));
  run.WriteLog(run.state.LastError);
}

// Refusals the line did not cause: space, locks, time-out, the device. The
// file is not at fault then, and the message says what failed instead.
bool IsServerCondition(const db::DatabaseError& error) {
  switch (error.Number()) {
    case 1105:  // data file full
    case 9002:  // log full
    case 1222:  // lock time-out
    case -2:    // command time-out
    case 701:   // memory
    case 823:   // I/O
    case 824:
    case 3906:  // read-only database
    case 5120:  // file cannot be opened
      return true;
    default:
      return false;
  }
}

void FailOnServer(RunContext& run, std::size_t lineNumber, const db::DatabaseError& error) {
  run.Fail("A verzió file betöltése a " + std::to_string(lineNumber) +
           ". sornál megszakadt, a szerver hibája miatt: " + error.what());
  run.WriteLog(run.state.LastError);
}

// Stores the text waiting for its record line; false when the server refused it.
bool FlushText(RunContext& run, std::int64_t headId, PendingText& pending,
               const std::vector<std::string>& lines) {
  try {
    StoreText(run, headId, pending.text);
  } catch (const db::DatabaseError& error) {
    if (IsServerCondition(error)) {
      FailOnServer(run, pending.firstLine, error);
    } else {
      FailOnLine(run, pending.firstLine, std::string("a szöveg nem menthető: ") + error.what(),
                 lines[pending.firstLine - 1]);
    }
    return false;
  }
  pending.text.clear();
  return true;
}

// Checks one record line and writes its catalogue row; false when the line is
// faulty or the server refused the row.
bool LoadRecord(RunContext& run, std::size_t lineNumber, const std::string& line) {
  const std::string_view record = std::string_view(line).substr(2);
  const char kind = RecordKind(line);
  if (const auto fault = RecordFault(kind, record)) {
    FailOnLine(run, lineNumber, *fault, line);
    return false;
  }
  try {
    InsertRecord(run, kind, record);
  } catch (const db::DatabaseError& error) {
    if (IsServerCondition(error)) {
      FailOnServer(run, lineNumber, error);
    } else {
      FailOnLine(run, lineNumber, std::string("a szerver elutasította: ") + error.what(), line);
    }
    return false;
  }
  return true;
}

}  // namespace

void StoreText(RunContext& run, std::int64_t headId, std::string_view text) {
  std::string_view rest = text;
  for (std::int64_t chunk = 1; !rest.empty(); ++chunk) {
    const std::string piece = Utf8Left(rest, kTextChunkLength);
    run.dbCel->Execute(kInsertTextChunk, {headId, chunk, piece});
    rest.remove_prefix(piece.size());
  }
}

void LoadVersionFile(RunContext& run) {
  const std::optional<std::string> bytes = ReadFileBytes(run.WorkPath(kVersionFileName));
  if (!bytes) {
    run.Fail(kVersionFileMissing);
    run.WriteLog(kVersionFileMissing);
    return;
  }
  LoadVersionText(run, *bytes);
}

void LoadVersionText(RunContext& run, std::string_view bytes) {
  const std::vector<std::string> lines = SplitVersionLines(bytes);
  const std::string header = lines.empty() ? std::string() : lines.front();
  const std::string trailer = lines.size() < 2 ? std::string() : lines.back();
  const int further = lines.empty() ? 0 : static_cast<int>(lines.size() - 1);

  if (!CheckVersion(run, header, trailer)) {
    run.state.Failed = true;
    return;
  }
  run.SetProgressRange(0, further);
  run.SetProgressPosition(0);
  run.ShowStatus(ValtLabel::lVerzio, run.state.NewVersion);

  PendingText pending;
  std::int64_t headId = 0;
  char currentKind = ' ';
  for (std::size_t index = 0; index < lines.size() && !run.state.Failed; ++index) {
    const std::string& line = lines[index];
    run.StepProgress();
    if (!IsRecordLine(line)) {
      if (pending.text.empty()) pending.firstLine = index + 1;
      if (IsTextKind(currentKind)) pending.text += "\r\n";
      pending.text += line;
      continue;
    }
    if (!pending.text.empty()) {
      if (!FlushText(run, headId, pending, lines)) break;
    }
    currentKind = RecordKind(line);
    if (!LoadRecord(run, index + 1, line)) break;
    if (IsTextKind(currentKind)) headId = db::ToInteger(RecordField(line.substr(2), 2));
  }
  if (!run.state.Failed) run.WriteLog(kVersionFileLoaded);
}

}  // namespace moltaro::engine
