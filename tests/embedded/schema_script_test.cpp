// A schema script in the form SQL Server's tools write them, run batch by
// batch (split at GO lines, as the sql command splits them).
#include <gmock/gmock.h>

#include <sstream>

#include "common/text.h"
#include "server_fixture.h"

namespace moltaro::db::embedded::testing {
namespace {

using ::testing::HasSubstr;

const char* kScript = R"sql(
SET ANSI_NULLS ON
GO
SET QUOTED_IDENTIFIER ON
GO
IF NOT EXISTS (SELECT * FROM dbo.sysobjects WHERE id = OBJECT_ID(N'[dbo].[ZMP_KSZT]') AND xtype = 'U')
BEGIN
CREATE TABLE [dbo].[ZMP_KSZT](
	[SZEM_ID] [numeric](9, 0) IDENTITY(1,1) NOT NULL,
	[SZEMELY] [nvarchar](11) NOT NULL,
	[NEV] [nvarchar](60) NULL,
	[SZULDAT] [datetime] NULL,
	[ALLAMP] [nvarchar](3) NULL CONSTRAINT [DF_ZMP_KSZT_ALLAMP]  DEFAULT (N'HU'),
	[BER] [money] NULL,
	[AKTIV] [bit] NOT NULL DEFAULT ((1)),
 CONSTRAINT [PK_ZMP_KSZT] PRIMARY KEY CLUSTERED
(
	[SZEM_ID] ASC
)WITH (PAD_INDEX  = OFF, STATISTICS_NORECOMPUTE  = OFF, IGNORE_DUP_KEY = OFF, ALLOW_ROW_LOCKS  = ON, ALLOW_PAGE_LOCKS  = ON) ON [PRIMARY]
) ON [PRIMARY]
END
GO
CREATE UNIQUE NONCLUSTERED INDEX [IX_ZMP_KSZT_SZEMELY] ON [dbo].[ZMP_KSZT]
(
	[SZEMELY] ASC
)WITH (PAD_INDEX  = OFF, STATISTICS_NORECOMPUTE  = OFF, SORT_IN_TEMPDB = OFF, IGNORE_DUP_KEY = OFF, DROP_EXISTING = OFF, ONLINE = OFF) ON [PRIMARY]
GO
CREATE TABLE [dbo].[ZMP_CIM](
	[ID] [int] NOT NULL,
	[SZEM_ID] [numeric](9, 0) NOT NULL,
	[VAROS] [nvarchar](40) NULL,
	[IRSZ] [char](4) NULL CONSTRAINT [CK_ZMP_CIM_IRSZ] CHECK ([IRSZ] LIKE '[1-9][0-9][0-9][0-9]')
) ON [PRIMARY]
GO
ALTER TABLE [dbo].[ZMP_CIM]  WITH CHECK ADD  CONSTRAINT [FK_ZMP_CIM_ZMP_KSZT] FOREIGN KEY([SZEM_ID])
REFERENCES [dbo].[ZMP_KSZT] ([SZEM_ID])
GO
ALTER TABLE [dbo].[ZMP_CIM] ADD  CONSTRAINT [DF_ZMP_CIM_VAROS]  DEFAULT ('Budapest') FOR [VAROS]
GO
CREATE VIEW [dbo].[ZMP_V_KSZT]
AS
SELECT k.SZEM_ID, k.NEV, c.VAROS
FROM dbo.ZMP_KSZT AS k LEFT OUTER JOIN dbo.ZMP_CIM AS c ON c.SZEM_ID = k.SZEM_ID
GO
-- the procedure that hands out identifiers
CREATE PROCEDURE [dbo].[ZMP_UJ_SZEMELY]
	@szemely nvarchar(11),
	@nev nvarchar(60) = NULL,
	@szem_id numeric(9) OUTPUT
AS
BEGIN
	SET NOCOUNT ON;
	IF EXISTS (SELECT 1 FROM ZMP_KSZT WHERE SZEMELY = @szemely)
	BEGIN
		RAISERROR('A %s személy már létezik', 16, 1, @szemely)
		RETURN -1
	END
	INSERT INTO ZMP_KSZT (SZEMELY, NEV) VALUES (@szemely, @nev)
	SELECT @szem_id = MAX(SZEM_ID) FROM ZMP_KSZT
	RETURN 0
END
GO
CREATE FUNCTION [dbo].[ZMP_KOR] (@szuldat datetime)
RETURNS int
AS
BEGIN
	RETURN DATEDIFF(year, @szuldat, GETDATE())
END
GO
CREATE TRIGGER [dbo].[TR_ZMP_KSZT] ON [dbo].[ZMP_KSZT] AFTER INSERT AS SET NOCOUNT ON
GO
DECLARE @id numeric(9)
EXEC dbo.ZMP_UJ_SZEMELY '12345678901', N'Kovács Éva', @id OUTPUT
EXEC dbo.ZMP_UJ_SZEMELY @szemely = '22345678901', @szem_id = @id OUTPUT
INSERT INTO ZMP_CIM (ID, SZEM_ID, IRSZ) VALUES (1, @id, '1011')
GO
)sql";

std::vector<std::string> Batches(const std::string& script) {
  std::vector<std::string> batches;
  std::istringstream in(script);
  std::string line, current;
  while (std::getline(in, line)) {
    if (ToUpperAscii(Trim(line)) == "GO") {
      if (!Trim(current).empty()) batches.push_back(current);
      current.clear();
    } else {
      current += line + "\n";
    }
  }
  if (!Trim(current).empty()) batches.push_back(current);
  return batches;
}

class SchemaScriptTest : public EmbeddedServerTest {};

TEST_F(SchemaScriptTest, ToolScriptLoadsExceptWhatIsRefusedClearly) {
  CreateDatabase("script");
  Connection c = Open("script");
  std::vector<std::string> failures;
  const auto batches = Batches(kScript);
  for (const std::string& batch : batches) {
    const std::string error = ErrorOf(c, batch);
    if (!error.empty()) failures.push_back(error);
  }
  EXPECT_EQ(batches.size(), 12u);
  // Every batch loads, the trigger too.
  ASSERT_TRUE(failures.empty()) << ::testing::PrintToString(failures);
  EXPECT_EQ(c.Query("select count(*) n from sysobjects where name = 'TR_ZMP_KSZT' and xtype = 'TR'")
                .Integer("n"),
            1);

  EXPECT_EQ(c.Query("select count(*) n from zmp_kszt").Integer("n"), 2);
  ResultSet v = c.Query("select nev, varos from ZMP_V_KSZT order by szem_id");
  EXPECT_EQ(v.Text("nev"), "Kovács Éva");
  EXPECT_TRUE(v.IsNull("varos"));
  v.Next();
  EXPECT_EQ(v.Text("varos"), "Budapest");
  EXPECT_EQ(
      c.Query("select allamp, aktiv from zmp_kszt where szemely = '12345678901'").Text("allamp"),
      "HU");
  EXPECT_EQ(
      ErrorOf(c, "DECLARE @id numeric(9) EXEC ZMP_UJ_SZEMELY '12345678901', NULL, @id OUTPUT"),
      "A 12345678901 személy már létezik");
  EXPECT_THAT(ErrorOf(c, "insert into zmp_cim (id, szem_id, irsz) values (2, 99, '1234')"),
              HasSubstr("FOREIGN KEY constraint \"FK_ZMP_CIM_ZMP_KSZT\""));
  EXPECT_THAT(ErrorOf(c, "insert into zmp_cim (id, szem_id, irsz) values (2, 1, '0123')"),
              HasSubstr("CHECK constraint \"CK_ZMP_CIM_IRSZ\""));
  EXPECT_THAT(ErrorOf(c, "insert into zmp_kszt (szemely) values ('22345678901')"),
              HasSubstr("with unique index 'IX_ZMP_KSZT_SZEMELY'"));
}

}  // namespace
}  // namespace moltaro::db::embedded::testing
