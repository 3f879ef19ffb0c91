#include "engine/version_loader.h"

#include "common/codepage.h"
#include "common/text.h"
#include "scripted_run.h"

namespace moltaro::engine {
namespace {

using testing::Rows;
using testing::Sent;
using Strings = std::vector<std::string>;

constexpr const char* kTextHead =
    "insert into ZMP_OBJ_FEJ ( id, tipus, nev, sor, hiba, utasit, verzio)\r\n"
    "values (:xid, :xtipus, :xnev, :xsor, :xhiba, :xutasit, 'I')";
constexpr const char* kIndexHead =
    "insert into zmp_obj_fej ( id, tipus, nev, fej_id, verzio)\r\n"
    "values (:xid, :xtipus, :xnev, :xfej_id, 'I')";
constexpr const char* kTableHead =
    "insert into zmp_obj_fej (id, tipus, nev, verzio)\r\n"
    "values (:xid, :xtipus, :xnev, 'I')";
constexpr const char* kColumn =
    "insert into zmp_obj_gyerek ( id, fej_id, sor, nev, tipus, hossz, tizedes, notnull, "
    "deflt)\r\n"
    "values (:xid, :xfej_id, :xsor, :xnev, :xtipus, :xhossz, :xtizedes, :xnotnull, :xdeflt)";
constexpr const char* kKey =
    "insert into zmp_obj_gyerek ( id, fej_id, gyerek_id, sor)\r\n"
    "values (:xid, :xfej_id, :xgyerek_id, :xsor)";
constexpr const char* kChunk =
    "insert into zmp_obj_szoveg (fej_id, sor, szoveg) values (:xfej_id, :xsor, :xszoveg)";
constexpr const char* kInstalled = "select SZAM, DATUM from ZMP_OBJ_VER";

db::Params Texts(std::initializer_list<const char*> values) {
  db::Params params;
  for (const char* v : values) params.emplace_back(std::string(v));
  return params;
}

db::Params Chunk(std::int64_t head, std::int64_t number, std::string text) {
  return {head, number, std::move(text)};
}

class LoadVersionFileTest : public testing::ScriptedRunTest {
 protected:
  void WriteFile(const std::vector<std::string>& lines) {
    std::string text;
    for (const std::string& line : lines) text += line + "\r\n";
    dir.Write("verzio.ver", Utf8ToCp1250(text));
  }

  // The inserts sent, as (statement, parameters).
  std::vector<std::pair<std::string, db::Params>> Inserts() const {
    std::vector<std::pair<std::string, db::Params>> inserts;
    for (const Sent& sent : server.sent) {
      if (!sent.query) inserts.emplace_back(sent.sql, sent.params);
    }
    return inserts;
  }
};

TEST_F(LoadVersionFileTest, WritesEveryRecordKindIntoTheCatalogue) {
  WriteFile({"$$V$$2.1$$minta$$", "$$E$$1$$elő$$1$$E$$N$$", "update a set b=1$$",
             "$$T$$10$$ZMP_A$$", "$$t$$11$$10$$1$$ID$$56$$0$$0$$I$$$$",
             "$$t$$12$$10$$2$$NEV$$231$$40$$0$$N$$'x'$$", "$$I$$20$$10$$ZMP_A_ID$$",
             "$$i$$21$$20$$11$$1$$", "$$P$$30$$p$$2$$V$$N$$", "create procedure zmp_p",
             "as return 1", "$$U$$40$$utó$$3$$E$$E$$", "select 1", "$$V$$2.1$$minta$$"});
  LoadVersionFile(run);
  ASSERT_FALSE(run.state.Failed) << run.state.LastError;
  const std::vector<std::pair<std::string, db::Params>> expected = {
      {kTextHead, Texts({"1", "E", "elő", "1", "E", "N"})},
      {kChunk, Chunk(1, 1, "\r\nupdate a set b=1$$")},
      {kTableHead, Texts({"10", "T", "ZMP_A"})},
      {kColumn, Texts({"11", "10", "1", "ID", "56", "0", "0", "I", "(0)"})},
      {kColumn, Texts({"12", "10", "2", "NEV", "231", "40", "0", "N", "('x')"})},
      {kIndexHead, Texts({"20", "I", "ZMP_A_ID", "10"})},
      {kKey, Texts({"21", "20", "11", "1"})},
      {kTextHead, Texts({"30", "P", "p", "2", "V", "N"})},
      {kChunk, Chunk(30, 1, "\r\ncreate procedure zmp_p\r\nas return 1")},
      {kTextHead, Texts({"40", "U", "utó", "3", "E", "E"})},
      // The trailer, being a record line, ends the last text.
      {kChunk, Chunk(40, 1, "\r\nselect 1")},
  };
  EXPECT_EQ(Inserts(), expected);
  for (const Sent& sent : server.sent) EXPECT_EQ(sent.connection, "dbCel") << sent.sql;
  EXPECT_EQ(run.state.NewVersion, "2.1");
  EXPECT_EQ(display.labels[ValtLabel::lVerzio], "2.1");
  EXPECT_EQ(display.maximum, 13);
  EXPECT_EQ(display.position, 13);
  EXPECT_EQ(LogLines(), Strings{"A verzio.ver betöltve !"});
}

TEST_F(LoadVersionFileTest, TextAfterANonTextRecordJoinsWithoutBreaksUnderTheLastTextHead) {
  WriteFile({"$$V$$2.1$$", "stray", "$$E$$5$$e$$1$$E$$N$$", "a$$", "$$T$$10$$ZMP_A$$", "b", "c",
             "$$V$$2.1$$"});
  LoadVersionFile(run);
  const auto inserts = Inserts();
  ASSERT_EQ(inserts.size(), 5u);
  // Before any text head the texts belong to head 0.
  EXPECT_EQ(inserts[0], std::make_pair(std::string(kChunk), Chunk(0, 1, "stray")));
  EXPECT_EQ(inserts[2], std::make_pair(std::string(kChunk), Chunk(5, 1, "\r\na$$")));
  EXPECT_EQ(inserts[4], std::make_pair(std::string(kChunk), Chunk(5, 1, "bc")));
}

// A long procedure must reach the catalogue whole, in chunks of 4000
// characters (not bytes).
TEST_F(LoadVersionFileTest, StoresEveryChunkOfALongText) {
  const std::string body = "create procedure zmp_hosszu as select '" + std::string(30000, 'x') +
                           ReplaceAll(std::string(30000, '.'), ".", "á") + std::string(25000, 'y') +
                           "'";
  WriteFile({"$$V$$2.1$$", "$$P$$30$$p$$1$$V$$N$$", body, "$$V$$2.1$$"});
  LoadVersionFile(run);
  ASSERT_FALSE(run.state.Failed) << run.state.LastError;
  std::string stored;
  std::int64_t expectedChunk = 1;
  for (const auto& [sql, params] : Inserts()) {
    if (sql != kChunk) continue;
    EXPECT_EQ(params[0], db::Value(std::int64_t{30}));
    EXPECT_EQ(params[1], db::Value(expectedChunk++));
    const std::string& piece = std::get<std::string>(params[2]);
    EXPECT_LE(Utf8Length(piece), kTextChunkLength);
    stored += piece;
  }
  EXPECT_EQ(stored, "\r\n" + body);
  EXPECT_EQ(expectedChunk - 1, 22);  // 85,042 characters
}

TEST_F(LoadVersionFileTest, ANonNumericIdentifierEndsTheRunNamingItsLine) {
  WriteFile(
      {"$$V$$2.1$$", "$$T$$10$$ZMP_A$$", "$$T$$1x$$ZMP_B$$", "$$T$$30$$ZMP_C$$", "$$V$$2.1$$"});
  LoadVersionFile(run);
  EXPECT_TRUE(run.state.Failed);
  EXPECT_EQ(run.state.LastError,
            "Hibás a verzió file 3. sora (a(z) 2. mező nem legfeljebb 9 jegyű egész szám: "
            "\"1x\"): $$T$$1x$$ZMP_B$$");
  EXPECT_EQ(Inserts().size(), 1u) << "nothing after the faulty line";
  EXPECT_EQ(LogLines(), Strings{run.state.LastError});
}

TEST_F(LoadVersionFileTest, ARecordMissingANumberItNeedsEndsTheRun) {
  WriteFile({"$$V$$2.1$$", "$$t$$11$$10$$1$$ID$$56", "$$V$$2.1$$"});
  LoadVersionFile(run);
  EXPECT_TRUE(run.state.Failed);
  EXPECT_EQ(run.state.LastError,
            "Hibás a verzió file 2. sora (a(z) 6. mező nem legfeljebb 4 jegyű egész szám: "
            "\"\"): $$t$$11$$10$$1$$ID$$56");
}

TEST_F(LoadVersionFileTest, AnInsertTheServerRefusesEndsTheRunNamingItsLine) {
  server.Fail(kTableHead, "String or binary data would be truncated.");
  WriteFile({"$$V$$2.1$$", "$$T$$10$$ZMP_EGY_NAGYON_HOSSZU_TABLA_NEVE_X$$", "$$V$$2.1$$"});
  LoadVersionFile(run);
  EXPECT_TRUE(run.state.Failed);
  EXPECT_EQ(run.state.LastError,
            "Hibás a verzió file 2. sora (a szerver elutasította: String or binary data would be "
            "truncated.): $$T$$10$$ZMP_EGY_NAGYON_HOSSZU_TABLA_NEVE_X$$");
}

TEST_F(LoadVersionFileTest, ARefusedTextNamesTheLineWhereTheTextBegan) {
  server.Fail(kChunk, "Arithmetic overflow error converting numeric to data type numeric.");
  WriteFile({"$$V$$2.1$$", "$$U$$40$$u$$1$$V$$N$$", "select 1$$", "select 2$$", "$$V$$2.1$$"});
  LoadVersionFile(run);
  EXPECT_TRUE(run.state.Failed);
  EXPECT_EQ(run.state.LastError,
            "Hibás a verzió file 3. sora (a szöveg nem menthető: Arithmetic overflow error "
            "converting numeric to data type numeric.): select 1$$");
}

TEST_F(LoadVersionFileTest, RefusesAVersionNotNewerInTextOrder) {
  server.Answer(kInstalled, Rows({"SZAM", "DATUM"},
                                 {{std::string("2.9"), std::string("2026-03-04 05:06:07.000")}}));
  WriteFile({"$$V$$2.10$$", "$$T$$10$$ZMP_A$$", "$$V$$2.10$$"});
  LoadVersionFile(run);
  EXPECT_TRUE(run.state.Failed);
  EXPECT_EQ(run.state.LastError, "A(z) \"2.9\" verziót már 2026. 03. 04. 5:06:07 telepítette !");
  EXPECT_EQ(LogLines(), Strings{run.state.LastError});
  EXPECT_TRUE(Inserts().empty());
}

TEST_F(LoadVersionFileTest, ABlankInstalledVersionAcceptsAnyFile) {
  server.Answer(kInstalled, Rows({"SZAM", "DATUM"}, {{std::string("   "), db::Null()}}));
  WriteFile({"$$V$$0.1$$", "$$V$$0.1$$"});
  LoadVersionFile(run);
  EXPECT_FALSE(run.state.Failed);
  EXPECT_EQ(run.state.NewVersion, "0.1");
}

}  // namespace
}  // namespace moltaro::engine
