#!/usr/bin/env bash
# The main job on a fresh machine: installs, builds, then sets up a new site on
# the embedded server in demo/, creates a company and upgrades it with the
# example version file, showing the instance list before and after and the
# run log; then converts the example legacy company into it and shows what
# arrived.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
cli="$PWD/${MOLTARO_BUILD_DIR:-build}/src/cli/moltaro-cli"

rm -rf demo
mkdir -p demo
cd demo
"$cli" server-init data --sa-password demo-sa-password
export MOLTARO_LOGIN=sa MOLTARO_PASSWORD=demo-sa-password

# A new site has no common database yet: log in against master, and the
# first company creates ZMP_Vorel.
printf 'local$$master\r\n' > VELDORAdb_new.ini
echo "== new company"
"$cli" new-company "Demo Kft" demo1 2>/dev/null
printf 'local$$ZMP_Vorel\r\n' > VELDORAdb_new.ini

echo "== instances before the upgrade"
"$cli" instances

echo "== upgrade with examples/verzio.ver"
cp ../examples/verzio.ver .
"$cli" upgrade demo1 --yes

echo "== instances after the upgrade"
"$cli" instances

echo "== run log"
iconv -f WINDOWS-1250 -t UTF-8 ./*_verzio.log | tr -d '\r'

echo "== convert the example legacy company (examples/legacy)"
"$cli" convert demo1 ../examples/legacy --check
"$cli" convert demo1 ../examples/legacy --yes

echo "== converted rows"
"$cli" sql -d demo1 -Q "select (select count(*) from zmp_kszt) persons,
  (select count(*) from zmp_havi) monthly_results, (select count(*) from zmp_tido) time_items,
  (select count(*) from zmp_kod) codes, (select szam from zmp_obj_ver) version"

echo "== one converted person"
"$cli" sql -d demo1 -Q "select k.szemely, k.nev, k.szuldat, k.acimi, k.acimv, k.acimu, k.belep,
  (select count(*) from zmp_havi h where h.szem_id = k.szem_id and h.ev = 2009) months_2009
  from zmp_kszt k where k.szemely = '00000001000'"
