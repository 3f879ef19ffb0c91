// The conversion's ground on a real instance: the example schema, the
// identifier allocator of the instance, the person lookup and the way a
// failing record is reported.
#include <gtest/gtest.h>

#include "convert/convert_error.h"
#include "convert/import_record.h"
#include "convert/person_lookup.h"
#include "convert/statement.h"
#include "db/errors.h"
#include "instance_fixture.h"

namespace moltaro::convert {
namespace {

using testing::InstanceTest;

class Foundation : public InstanceTest {
 protected:
  void AddPerson(const std::string& code, int id) {
    work.Execute("insert into zmp_kszt (SZEMELY, SZEM_ID) values (:x00, :x01)",
                 {code, std::int64_t{id}});
  }
};

TEST_F(Foundation, IdentifiersComeFromTheInstanceBeingConverted) {
  // The login's default database (master) has no allocator at all.
  const std::int64_t first = context.NextId();
  EXPECT_EQ(context.DrawRecordId(), first + 1);
  EXPECT_EQ(context.CurrentRecordId(), first + 1);
  EXPECT_EQ(Scalar("select max(id) from ZMP_SYS_ID_SEQ"), std::to_string(first + 1));
}

TEST_F(Foundation, TheClosingProcedureRecordsTheYear) {
  db::ProcedureParameters params{{"@RETURN_VALUE", db::ParameterDirection::ReturnValue, {}},
                                 {"@ev", db::ParameterDirection::Input, std::int64_t{2009}}};
  work.CallProcedure("zmp_konvertalas_utan_fut1", params);
  EXPECT_EQ(Scalar("select kod from zmp_puy where nev = 'PWKONVEV'"), "2009");
  params[1].value = std::int64_t{2010};
  work.CallProcedure("zmp_konvertalas_utan_fut1", params);
  EXPECT_EQ(Scalar("select count(*) from zmp_puy where nev = 'PWKONVEV'"), "1");
  EXPECT_EQ(Scalar("select kod from zmp_puy where nev = 'PWKONVEV'"), "2010");
}

TEST_F(Foundation, PersonCodesCompareAsNumbers) {
  AddPerson("00012345678", 501);
  AddPerson("   22222222", 502);
  EXPECT_EQ(PersonId(context, "12345678   "), "501");
  EXPECT_EQ(PersonId(context, "00012345678"), "501");
  EXPECT_EQ(PersonId(context, "00022222222"), "502");
  EXPECT_EQ(PersonId(context, "99999999999"), std::nullopt);
  AddPerson("12345678", 503);
  EXPECT_EQ(PersonCount(context, " 0012345678"), 2);
  EXPECT_EQ(PersonCount(context, "33333333333"), 0);
}

TEST_F(Foundation, APersonCodeThatIsNotANumberIsRefusedUnsent) {
  AddPerson("00000000001", 1);
  for (const std::string code :
       {"1 or 1=1  ", "1;delete from zmp_kszt", "", "           ", "-1", "1.0", "0x1F"}) {
    try {
      PersonId(context, code);
      ADD_FAILURE() << "looked up: " << code;
    } catch (const ConvertError& error) {
      EXPECT_EQ(error.what(), "A személykód nem szám: \"" + code + "\"");
    }
  }
  EXPECT_EQ(Scalar("select count(*) from zmp_kszt"), "1");
}

TEST_F(Foundation, AFailingRecordNamesItsFileAndLine) {
  const Importer lookUp = [](ConvertContext& c, const LegacyRecord& record) {
    PersonId(c, record.Field(1, 11));
  };
  try {
    ImportRecord(context, lookUp, "ypjogc.txt", Record("12A45678901", 3));
    FAIL();
  } catch (const ConvertError& error) {
    EXPECT_STREQ(error.what(), "ypjogc.txt 3. sora: A személykód nem szám: \"12A45678901\"");
  }
  const Importer insert = [](ConvertContext& c, const LegacyRecord& record) {
    ExecuteStatement(c,
                     {"insert into  zmp_kod (TIPUS, KOD,  NEV,  ID ) values ( ",
                      "                  " + XParameters(0, 4) + " )"},
                     {record.Field(1, 1), record.Field(3, 8), record.Field(11, 80), c.NextId()});
  };
  ImportRecord(context, insert, "ypkod.txt", Record("K 12      Pénztár", 1));
  EXPECT_EQ(Scalar("select nev from zmp_kod where tipus = 'K'"), "Pénztár");
  try {
    ImportRecord(context, insert, "ypkod.txt", Record("K abc", 2));
    FAIL();
  } catch (const ConvertError& error) {
    EXPECT_EQ(std::string(error.what()).rfind("ypkod.txt 2. sora: Conversion failed", 0), 0u)
        << error.what();
  }
}

TEST(XParameters, TwoDigitMarkersInOrder) {
  EXPECT_EQ(XParameters(0, 3), ":x00, :x01, :x02");
  EXPECT_EQ(XParameters(9, 2), ":x09, :x10");
  EXPECT_EQ(XParameters(0, 0), "");
  EXPECT_EQ(StatementText({"a", " b"}), "a\r\n b");
}

}  // namespace
}  // namespace moltaro::convert
