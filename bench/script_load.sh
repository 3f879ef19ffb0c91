#!/usr/bin/env bash
# Loading a script of single-row INSERTs through `moltaro-cli sql -i` against
# the sqlite3 shell loading the same rows, each statement its own transaction
# (as both run a script without BEGIN), and sqlite3 again in one transaction.
#
#   bench/script_load.sh [BUILD_DIR] [ROWS]      (defaults: build 10000)
#
# Prints the wall times (best of three) and the ratios.
set -euo pipefail
build=$(realpath "${1:-build}")
rows=${2:-10000}
cli="$build/src/cli/moltaro-cli"
command -v sqlite3 >/dev/null || { echo "sqlite3 (the shell) is needed" >&2; exit 2; }
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

python3 - "$rows" <<'PY'
import random, sys
rows = int(sys.argv[1])
random.seed(1)
create = "create table tetel (id int not null primary key, nev varchar(40), osszeg numeric(12,2), nap datetime)"
with open("load.sql", "w") as t, open("auto.sql", "w") as a, open("tx.sql", "w") as x:
    t.write("USE lb\nGO\n" + create + "\nGO\n")
    a.write("PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;\n" + create + ";\n")
    x.write(create + ";\nBEGIN;\n")
    for i in range(1, rows + 1):
        values = "(%d, 'Név %d', %d.%02d, '2024-%02d-%02d')" % (
            i, i, random.randint(0, 99999), random.randint(0, 99),
            random.randint(1, 12), random.randint(1, 28))
        line = "INSERT INTO tetel (id, nev, osszeg, nap) VALUES " + values
        t.write(line + "\n")
        a.write(line + ";\n")
        x.write(line + ";\n")
    t.write("GO\n")
    x.write("COMMIT;\n")
PY

best() {  # best wall time of three runs of "$@" (after its setup in $setup)
  local best=""
  for _ in 1 2 3; do
    eval "$setup"
    local start end t
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    t=$(echo "$end - $start" | bc)
    if [[ -z "$best" ]] || (($(echo "$t < $best" | bc))); then best=$t; fi
  done
  echo "$best"
}

"$cli" server-init data --sa-password secret >/dev/null
echo 'local$$master' >VELDORAdb_new.ini
export MOLTARO_LOGIN=sa MOLTARO_PASSWORD=secret
setup='"$cli" sql -Q "drop database lb" >/dev/null 2>&1 || true; "$cli" sql -Q "create database lb" >/dev/null'
moltaro=$(best "$cli" sql -i load.sql)
count=$("$cli" sql -d lb -Q "select count(*) from tetel" | tail -1 | tr -d '\t ')
[[ "$count" == "$rows" ]] || { echo "loaded $count rows, not $rows" >&2; exit 1; }
setup='rm -f auto.db auto.db-wal auto.db-shm'
auto=$(best sh -c 'sqlite3 auto.db <auto.sql')
setup='rm -f tx.db'
tx=$(best sh -c 'sqlite3 tx.db <tx.sql')
printf 'rows %s\nmoltaro-cli sql -i        %6.2f s\nsqlite3, autocommit (WAL) %6.2f s  ratio %.2f\nsqlite3, one transaction  %6.2f s  ratio %.2f\n' \
  "$rows" "$moltaro" "$auto" "$(echo "$moltaro / $auto" | bc -l)" "$tx" "$(echo "$moltaro / $tx" | bc -l)"
