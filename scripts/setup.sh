#!/usr/bin/env bash
# Installs what the build, the tests and the demo need (Debian 12, as root), only when missing.
set -euo pipefail
packages=(cmake g++ make pkg-config qt6-base-dev libgl1-mesa-dev libgtest-dev libsqlite3-dev
          unixodbc-dev tdsodbc freetds-bin pxlib-dev libssl-dev openssl gnumeric clang libclang-rt-14-dev
          xvfb xauth libxcb1-dev dpkg-dev file g++-mingw-w64-x86-64-posix wine wine64)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
