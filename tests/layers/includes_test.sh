#!/usr/bin/env bash
# includes_test.sh SOURCE_DIR
# Each layer includes only from the layers below it (docs/architecture.md): a project header
# named by a file of a folder must come from that folder or one the folder may use.
set -euo pipefail
cd "$1"
status=0
check() {
  local folder=$1 allowed=$2
  while IFS= read -r hit; do
    local file=${hit%%:*} header=${hit#*\"}
    header=${header%%\"*}
    case $header in */*) ;; *) continue ;; esac   # a header beside the file
    local layer=${header%%/*}
    [ "$layer" = platform ] && [[ $header == platform/qt/* ]] && layer=platform/qt
    if ! grep -qw -- "$layer" <<<"$allowed"; then
      echo "FAIL: $file includes $header; $folder may include only: $allowed"
      status=1
    fi
  done < <(grep -Hr --include='*.cpp' --include='*.h' '^#include "' "$folder" | { [ "$folder" = platform ] && grep -v '^platform/qt/' || cat; })
}
check paradox     "paradox"
check report      "report"
check platform    "platform paradox report"
check db          "db platform paradox report"
check convert     "convert db platform paradox report"
check platform/qt "platform/qt platform report"
check preview     "preview convert db platform platform/qt paradox report"
check app         "app preview convert db platform platform/qt paradox report"
check tools/cli   "convert db platform paradox report"
check tools/pxsql "paradox"
exit $status
