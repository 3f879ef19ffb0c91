#!/usr/bin/env bash
# The main job on a fresh machine: installs, builds, then creates an embedded
# server in demo/ and runs a few statements on it through moltaro-cli.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
cli="$PWD/${MOLTARO_BUILD_DIR:-build}/src/cli/moltaro-cli"

rm -rf demo
mkdir -p demo
"$cli" server-init demo/data --sa-password demo-sa-password
# First line: server (empty = the embedded server in ./data) $$ common database.
printf 'local$$master\r\n' > demo/VELDORAdb_new.ini
export MOLTARO_LOGIN=sa MOLTARO_PASSWORD=demo-sa-password

echo "== statements through moltaro-cli sql"
"$cli" -C demo sql <<'SQL'
create database demo1 COLLATE SQL_Hungarian_Cp1250_CI_AS
GO
select name from dbo.sysdatabases order by name
SQL
"$cli" -C demo sql -d demo1 <<'SQL'
create table [ZMP_Peldany] ([id] [int] NULL, [pld] [nvarchar] (50) NULL, [fiznev] [nvarchar] (50) NULL) ON [PRIMARY]
GO
insert into ZMP_Peldany (id, pld, fiznev) values (1, 'Árvíztűrő Kft.', 'ceg1')
insert into zmp_peldany (id, pld, fiznev) values (2, 'Öntöde Zrt.', 'ceg2')
GO
select pld nev, fiznev dbname from ZMP_Peldany t order by t.id
GO
select a.name, b.name, b.xtype, b.length from sysobjects a, syscolumns b where a.id=b.id and a.name='zmp_peldany' order by b.colid
SQL
