#!/usr/bin/env bash
# How much of a set of SQL Server install scripts loads on the embedded server,
# and which failures stand in the way most often.
#
# Each script gets a fresh embedded server with an empty database "corpus" and
# runs through `moltaro-cli sql -d corpus -i FILE`, which reports every failed
# batch on stderr and carries on with the next. Batches are counted as that
# command splits them (a line holding only GO or GO n, any case; batches of
# blank lines only and GO 0 batches do not run and do not count).
#
# Prints per script: batches, failed, loaded %; the total; then the failure
# messages grouped, with numbers, names and quoted text normalised so that one
# cause makes one group, each with its count and the first places it happened.
set -euo pipefail

usage() {
  cat <<'EOF'
usage: bench/script_corpus.sh [-k] [-t SECONDS] [-e N] [-o DIR] MOLTARO_CLI SCRIPT_DIR
  MOLTARO_CLI  the moltaro-cli binary (e.g. build/src/cli/moltaro-cli)
  SCRIPT_DIR   a directory of *.sql files (UTF-8, or UTF-16 with a byte order mark)
  -t SECONDS   give up on a script after this long (default 600); the batches
               not reported by then count as failed under "TIMEOUT"
  -e N         examples (file:line) listed per failure group (default 3)
  -o DIR       keep each script's stdout/stderr/exit status in DIR
  -k           keep the temporary servers (their path is printed)
  -h           this help
EOF
}

timeout_s=600
examples=3
keep=0
outdir=""
while getopts "ht:e:o:k" opt; do
  case $opt in
    h) usage; exit 0 ;;
    t) timeout_s=$OPTARG ;;
    e) examples=$OPTARG ;;
    o) outdir=$OPTARG ;;
    k) keep=1 ;;
    *) usage >&2; exit 2 ;;
  esac
done
shift $((OPTIND - 1))
[[ $# -eq 2 ]] || { usage >&2; exit 2; }
cli=$(realpath "$1")
scripts=$(realpath "$2")
[[ -x "$cli" ]] || { echo "not an executable: $1" >&2; exit 2; }
[[ -d "$scripts" ]] || { echo "not a directory: $2" >&2; exit 2; }
command -v python3 >/dev/null || { echo "python3 is needed" >&2; exit 2; }

shopt -s nullglob
files=("$scripts"/*.sql)
((${#files[@]})) || { echo "no *.sql files in $scripts" >&2; exit 2; }

results=$(mktemp -d)
servers=$(mktemp -d)
if ((keep)); then
  echo "servers kept in $servers" >&2
  trap 'rm -rf "$results"' EXIT
else
  trap 'rm -rf "$results" "$servers"' EXIT
fi
[[ -z "$outdir" ]] || mkdir -p "$outdir"

for file in "${files[@]}"; do
  name=$(basename "$file" .sql)
  work="$servers/$name"
  mkdir -p "$work"
  (
    cd "$work"
    "$cli" server-init data --sa-password secret >/dev/null
    # shellcheck disable=SC2016 # the $$ is the settings file's own separator
    echo 'local$$master' >VELDORAdb_new.ini
    "$cli" -U sa -P secret sql -Q "create database corpus" >/dev/null
    rc=0
    timeout "$timeout_s" "$cli" -U sa -P secret sql -d corpus -i "$file" \
      >"$results/$name.out" 2>"$results/$name.err" || rc=$?
    echo "$rc" >"$results/$name.rc"
  ) || { echo "could not set up a server for $name" >&2; echo setup >"$results/$name.rc"; }
  [[ -z "$outdir" ]] || cp "$results/$name".{out,err,rc} "$outdir"/ 2>/dev/null || true
done

python3 - "$results" "$examples" "${files[@]}" <<'PY'
import collections, os, re, sys

results, examples, files = sys.argv[1], int(sys.argv[2]), sys.argv[3:]

def as_text(raw):
    """The script as the command reads it: UTF-8 (BOM dropped) or UTF-16 with a BOM."""
    if raw.startswith(b"\xef\xbb\xbf"):
        raw = raw[3:]
    elif raw.startswith(b"\xff\xfe"):
        return raw[2:].decode("utf-16-le", "replace")
    elif raw.startswith(b"\xfe\xff"):
        return raw[2:].decode("utf-16-be", "replace")
    return raw.decode("utf-8", "replace")

GO = re.compile(r"^[ \t]*GO(?:[ \t]+(\d{1,9}))?[ \t]*$", re.IGNORECASE)

def batches(text):
    """(first line, text) of each batch that runs, split as `moltaro-cli sql` splits."""
    out, cur, first = [], [], 1
    lines = text.split("\n")
    if lines and lines[-1] == "":
        lines.pop()
    for number, line in enumerate(lines, 1):
        line = line.rstrip("\r")
        go = GO.match(line)
        if go:
            repeat = int(go.group(1)) if go.group(1) else 1
            if "".join(cur).strip() and repeat > 0:
                out.append((first, "\n".join(cur)))
            cur, first = [], number + 1
            continue
        if not "".join(cur).strip() and not line.strip():
            cur, first = [], number + 1
            continue
        cur.append(line)
    if "".join(cur).strip():
        out.append((first, "\n".join(cur)))
    return out

# "Msg <n>, Level <l>, batch at <file>:<line>: <text>"; statements the embedded
# server refuses outright come without number and level.
MSG = re.compile(r"^Msg(?: (\d+), Level (\d+))?, batch at (.*):(\d+): (.*)$")

# Words a syntax error may stop at that name the construct, not an object.
KEYWORDS = set("""ADD ALL ALTER AND ANY AS ASC AUTHORIZATION BEGIN BETWEEN BREAK BROWSE BULK BY
CASCADE CASE CHECK CHECKPOINT CLOSE CLUSTERED COLLATE COLUMN COMMIT COMPUTE CONSTRAINT CONTAINS
CONTINUE CONVERT CREATE CROSS CURRENT CURRENT_DATE CURRENT_TIME CURRENT_TIMESTAMP CURRENT_USER
CURSOR DATABASE DBCC DEALLOCATE DECLARE DEFAULT DELETE DENY DESC DISTINCT DISTRIBUTED DOUBLE DROP
DUMP ELSE END ERRLVL ESCAPE EXCEPT EXEC EXECUTE EXISTS EXIT EXTERNAL FETCH FILE FILLFACTOR FOR
FOREIGN FREETEXT FROM FULL FUNCTION GOTO GRANT GROUP HAVING HOLDLOCK IDENTITY IDENTITY_INSERT
IDENTITYCOL IF IN INDEX INNER INSERT INTERSECT INTO IS JOIN KEY KILL LEFT LIKE LINENO LOAD MERGE
NATIONAL NOCHECK NONCLUSTERED NOT NULL NULLIF OF OFF OFFSETS ON OPEN OPENDATASOURCE OPENQUERY
OPENROWSET OPENXML OPTION OR ORDER OUTER OVER PERCENT PIVOT PLAN PRIMARY PRINT PROC PROCEDURE
PUBLIC RAISERROR READ READTEXT RECONFIGURE REFERENCES REPLICATION RESTORE RESTRICT RETURN REVERT
REVOKE RIGHT ROLLBACK ROWCOUNT ROWGUIDCOL RULE SAVE SCHEMA SELECT SESSION_USER SET SETUSER
SHUTDOWN SOME STATISTICS SYSTEM_USER TABLE TABLESAMPLE TEXTSIZE THEN TO TOP TRAN TRANSACTION
TRIGGER TRUNCATE TSEQUAL UNION UNIQUE UNPIVOT UPDATE UPDATETEXT USE USER VALUES VARYING VIEW
WAITFOR WHEN WHERE WHILE WITH WRITETEXT XML""".split())


def syntax_token(token):
    """The token a syntax error names, kept when it tells the construct."""
    if token.upper() in KEYWORDS or not re.search(r"\w", token):
        return token.upper()
    if token.startswith("@"):
        return "@…"
    return "…"


def normalise(message):
    m = message
    m = re.sub(r"(Incorrect syntax near (?:the keyword )?)'([^']*)'",
               lambda x: "%s'%s'" % (x.group(1), syntax_token(x.group(2)).replace("'", "")), m)
    m = re.sub(r"(?<!near )(?<!keyword )'[^'…]*'", "'…'", m)
    m = re.sub(r'"[^"]*"', '"…"', m)
    m = re.sub(r"\[[^\]]*\]", "[…]", m)
    m = re.sub(r"\b0x[0-9A-Fa-f]+\b", "N", m)
    m = re.sub(r"\b\d+(\.\d+)?\b", "N", m)
    # A bare word after "near" names one place in one script, not a cause.
    m = re.sub(r"\bnear\s+(?!'…'|\"…\"|\[…\])[A-Za-z_@#$][\w@#$.]*", "near <name>", m)
    return m.strip()

def first_statement_line(text):
    in_comment = False
    for line in text.split("\n"):
        s = line.strip()
        if in_comment:
            if "*/" in s:
                in_comment = False
                s = s.split("*/", 1)[1].strip()
            else:
                continue
        if s.startswith("/*"):
            if "*/" not in s:
                in_comment = True
                continue
            s = s.split("*/", 1)[1].strip()
        if not s or s.startswith("--"):
            continue
        return s[:110]
    return ""

rows, groups = [], collections.OrderedDict()
total_batches = total_failed = 0
for path in files:
    name = os.path.splitext(os.path.basename(path))[0]
    with open(path, "rb") as f:
        split = batches(as_text(f.read()))
    starts = {first: text for first, text in split}
    rc = open(os.path.join(results, name + ".rc")).read().strip()
    failed_lines = collections.OrderedDict()
    try:
        err = open(os.path.join(results, name + ".err"), encoding="utf-8", errors="replace").read()
    except FileNotFoundError:
        err = ""
    for line in err.split("\n"):
        m = MSG.match(line)
        if not m or (m.group(2) and int(m.group(2)) <= 10):
            continue
        at = int(m.group(4))
        if at in failed_lines:
            continue
        failed_lines[at] = "Msg %s: %s" % (m.group(1) or "-", normalise(m.group(5)))
    last_reported = max([0] + list(failed_lines))
    note = ""
    if rc == "setup":
        note = "server setup failed"
        for first in starts:
            failed_lines.setdefault(first, "SETUP FAILED")
    elif rc == "124":
        note = "timed out"
        for first in starts:
            if first > last_reported:
                failed_lines.setdefault(first, "TIMEOUT (batch not reached or never ended)")
    elif rc not in ("0", "1"):
        note = "exit status %s" % rc
        if int(rc) >= 128:
            note = "killed by signal %d" % (int(rc) - 128)
            for first in starts:
                if first > last_reported:
                    failed_lines.setdefault(first, "CRASH (signal %d; batch not reached)" % (int(rc) - 128))
    failed = len(failed_lines)
    unmatched = [at for at in failed_lines if at not in starts]
    if unmatched:
        note += (" " if note else "") + "reported lines not at a batch start: %s" % unmatched[:5]
    for at, key in failed_lines.items():
        g = groups.setdefault(key, [])
        g.append((os.path.basename(path), at, first_statement_line(starts.get(at, ""))))
    n = len(split)
    rows.append((os.path.basename(path), n, failed, note))
    total_batches += n
    total_failed += failed

def pct(n, failed):
    return 100.0 * (n - failed) / n if n else 100.0

width = max(len(r[0]) for r in rows)
print("%-*s %8s %7s %8s" % (width, "script", "batches", "failed", "loaded"))
for name, n, failed, note in rows:
    print("%-*s %8d %7d %7.1f%%%s" % (width, name, n, failed, pct(n, failed), "  (" + note + ")" if note else ""))
print("%-*s %8d %7d %7.1f%%" % (width, "TOTAL", total_batches, total_failed, pct(total_batches, total_failed)))
print()
print("failed batches by cause:")
for key, places in sorted(groups.items(), key=lambda kv: -len(kv[1])):
    print("%5d  %s" % (len(places), key))
    for file, at, statement in places[:examples]:
        print("         %s:%d  %s" % (file, at, statement))
PY
