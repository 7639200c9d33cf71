#!/usr/bin/env bash
# install_test.sh BUILD WORK VERSION
set -euo pipefail
build=$1 work=$2 version=$3
fail() { echo "FAIL: $*"; exit 1; }
rm -rf "$work"
mkdir -p "$work"

root=$work/root
DESTDIR=$root cmake --install "$build" --prefix /usr/local >/dev/null
bin=$root/usr/local/bin
share=$root/usr/local/share
for program in quillmere quillmere-cli pxsql quillmere-demo-server quillmere-make-sales; do
  [ -x "$bin/$program" ] || fail "$program is not installed in $bin"
  printed=$("$bin/$program" --version)
  [ "$printed" = "$program $version" ] || fail "$program --version printed '$printed'"
  "$bin/$program" --help > "$work/$program.help" || fail "$program --help failed"
  grep -q -- '--version' "$work/$program.help" || fail "$program --help does not list --version"
done
grep -q -- '--password-env' "$work/quillmere-cli.help" || fail "quillmere-cli --help lacks its options"
# The window finds the sample tables in the staged share folder, not in the build.
grep -qx "Sample Paradox tables: $share/quillmere/Samples" "$work/quillmere.help" ||
  fail "quillmere looks for its samples elsewhere: $(tail -1 "$work/quillmere.help")"
for file in quillmere/Sales.sqlite quillmere/Samples/CUSTOMER.DB quillmere/Samples/ORDERS.PX quillmere/HAND-M.CUR \
            quillmere/local-connection-example.jpg applications/quillmere.desktop icons/hicolor/scalable/apps/quillmere.svg; do
  [ -f "$share/$file" ] || fail "$share/$file is not installed"
done
"$bin/pxsql" "$share/quillmere/Samples" --info CUSTOMER | grep -q '^records: 6$' || fail "pxsql cannot read the staged samples"

# The Debian package: installed under /usr, with the run-time packages in Depends.
cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/package" >/dev/null
deb=$(ls "$work"/package/*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for package in tdsodbc unixodbc libodbc2 libqt6widgets6 libsqlite3-0 libc6; do
  grep -Eq "(^|, )$package( |,|$)" <<<"$depends" || fail "Depends lacks $package"
done
dpkg-deb -c "$deb" > "$work/contents"
for file in ./usr/bin/quillmere-cli ./usr/bin/pxsql ./usr/share/quillmere/Samples/ORDERS.DB ./usr/share/applications/quillmere.desktop; do
  grep -q " $file\$" "$work/contents" || fail "the package lacks $file"
done
echo "installed, run and packaged: $deb"
