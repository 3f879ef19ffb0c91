#!/usr/bin/env bash
# The main job on a fresh machine: installs, builds, then sets up a new site on
# the embedded server in demo/, creates a company and upgrades it with the
# example version file, showing the instance list before and after and the
# run log.
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
