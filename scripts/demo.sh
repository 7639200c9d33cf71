#!/usr/bin/env bash
# Sets up, builds and runs the program.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/setup.sh
bash scripts/build.sh
exec build/bin/quillmere "$@"
