#!/usr/bin/env bash
# Installs the build into a temporary prefix and checks the installed tree:
# programs, desktop entry, icons, metainfo; validates them with the desktop
# tools when they are available.
#   check-installed-tree.sh BUILD_DIR
set -euo pipefail
build=${1:?usage: check-installed-tree.sh BUILD_DIR}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

fail=0
expect() { [ -e "$prefix/$1" ] || { echo "missing: $1"; fail=1; }; }
expect bin/vantelo-cli
if grep -q '^VANTELO_GUI:BOOL=ON' "$build/CMakeCache.txt" && [ -e "$build/vantelo" ]; then
  expect bin/vantelo
fi
expect share/applications/vantelo.desktop
expect share/metainfo/io.github.vantelo.Vantelo.metainfo.xml
expect share/icons/hicolor/scalable/apps/vantelo.svg
for s in 16 32 48 64 128 256; do expect "share/icons/hicolor/${s}x${s}/apps/vantelo.png"; done

"$prefix/bin/vantelo-cli" --version | grep -q '^vantelo-cli ' || { echo "vantelo-cli --version"; fail=1; }

if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/vantelo.desktop" || fail=1
fi
if command -v appstreamcli >/dev/null; then
  appstreamcli validate --no-net "$prefix/share/metainfo/io.github.vantelo.Vantelo.metainfo.xml" >/dev/null || fail=1
fi
[ $fail -eq 0 ] && echo "installed tree ok"
exit $fail
