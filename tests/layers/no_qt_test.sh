#!/usr/bin/env bash
# no_qt_test.sh BIN_DIR
# The command-line programs run on a machine without Qt: quillmere-cli and pxsql name no Qt
# library among the shared libraries they need, neither directly nor through another one. The
# window is read the same way, so a reading that finds nothing cannot pass for a clean one.
set -euo pipefail
bin=$1
fail() { echo "FAIL: $*"; exit 1; }

needed() { readelf -d "$1" | sed -n 's/.*(NEEDED).*\[\(.*\)\]/\1/p'; }

needed "$bin/quillmere" | grep -q '^libQt6Widgets' || fail "the reading of NEEDED found no Qt in the window"
for program in quillmere-cli pxsql; do
  [ -x "$bin/$program" ] || fail "$bin/$program is missing"
  direct=$(needed "$bin/$program")
  [ -n "$direct" ] || fail "$program needs no shared library at all: the reading failed"
  ! grep -i 'qt' <<<"$direct" || fail "$program needs Qt directly"
  ! ldd "$bin/$program" | grep -i 'libqt' || fail "$program loads Qt through another library"
  echo "$program: $(tr '\n' ' ' <<<"$direct")"
done
