#!/usr/bin/env bash
# quillmere-cli.exe under Wine converts the demo server's Sales sample, memos and blobs included,
# into the tables, rejected rows and statement file that quillmere-cli built for Linux makes of
# it, and ends with the same exit status. Wine's ODBC hands the program's calls to this machine's
# unixODBC, so FreeTDS answers for the driver a Windows machine would have. The tables are
# compared as pxread reads them, apart from the update time in their headers.
#
#   cli_conversion_test.sh WINE QUILLMERE-CLI.EXE HOST_BIN PXREAD
set -euo pipefail
wine=$1 exe=$2 host=$3 pxread=$4
for needed in "$host/quillmere-demo-server" "$host/quillmere-cli" "$host/Sales.sqlite" "$pxread"; do
  if [ ! -e "$needed" ]; then
    echo "skipped: $needed is missing (build for this machine first)"
    exit 77
  fi
done

work=${QUILLMERE_TEST_WORK:-$(mktemp -d)}
rm -rf "$work" && mkdir -p "$work"
cp "$host/Sales.sqlite" "$work/Sales.sqlite"
printf '[SQL Server]\nDriver=/usr/lib/x86_64-linux-gnu/odbc/libtdsodbc.so\n' > "$work/odbcinst.ini"
export ODBCSYSINI="$work" ODBCINSTINI=odbcinst.ini DEMO_PASSWORD=Demo-Pass1
export WINEPREFIX=${WINEPREFIX:-$(dirname "$exe")/../wine}
"$host/quillmere-demo-server" --port 0 --user sa --password "$DEMO_PASSWORD" --database Sales="$work/Sales.sqlite" > "$work/port" &
server=$!
trap 'kill $server 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -s "$work/port" ] && break; sleep 0.1; done
port=$(head -1 "$work/port")

# Both write into a folder that does not exist yet, and then the statements into a file; the
# Windows program is given Windows paths.
run() {
  local system=$1 folder=$2 statements=$3; shift 3
  local status=0
  "$@" --server 127.0.0.1 --port "$port" --database Sales --user sa --password-env DEMO_PASSWORD \
    --overwrite yes --long-text memo --binary blob --folder "$folder" > "$work/$system.out" 2>&1 || status=$?
  echo "$status" > "$work/$system.status"
  status=0
  "$@" --server 127.0.0.1 --port "$port" --database Sales --user sa --password-env DEMO_PASSWORD \
    --long-text memo --binary blob --folder "$folder" --sql "$statements" >> "$work/$system.out" 2>&1 || status=$?
  echo "$status" >> "$work/$system.status"
}
run linux "$work/linux/tables" "$work/linux/statements.sql" "$host/quillmere-cli"
run windows "$(winepath -w "$work/windows/tables" 2>/dev/null)" "$(winepath -w "$work/windows/statements.sql" 2>/dev/null)" "$wine" "$exe"

fail() {
  echo "FAILED: $1"
  cat "$work/windows.out"
  exit 1
}
[ "$(cat "$work/linux.status")" = "$(cat "$work/windows.status")" ] ||
  fail "exit statuses $(tr '\n' ' ' < "$work/windows.status")on Windows, $(tr '\n' ' ' < "$work/linux.status")on Linux"
[ "$(cd "$work/linux/tables" && ls)" = "$(cd "$work/windows/tables" && ls)" ] || fail "the folders hold other files"
ls "$work/linux/tables"/*.MB > /dev/null || fail "no memo or blob file was written"
cmp "$work/linux/statements.sql" "$work/windows/statements.sql" || fail "the statement files differ"
cmp "$work/linux/tables/rejected-rows.sql" "$work/windows/tables/rejected-rows.sql" || fail "the rejected rows differ"
readBack() {
  (cd "$work/$1/tables" && "$pxread" "${@:2}" | grep -av '^file:')
}
for table in "$work/linux/tables"/*.DB; do
  name=$(basename "$table" .DB)
  diff <(readBack linux "$name.DB") <(readBack windows "$name.DB") > "$work/diff" ||
    fail "the table $name reads back differently: $(cat "$work/diff")"
  diff <(readBack linux --px "$name.PX") <(readBack windows --px "$name.PX") > "$work/diff" ||
    fail "the index of $name reads back differently: $(cat "$work/diff")"
done
echo "quillmere-cli.exe wrote what quillmere-cli wrote: $(ls "$work/linux/tables" | tr '\n' ' ')"
