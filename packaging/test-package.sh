#!/usr/bin/env bash
# Builds the Debian package, installs it, starts the installed program on demo data
# (offscreen), validates the desktop files, and removes the package again.
# Needs root (apt-get). Usage: packaging/test-package.sh [build-dir]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-package}
sudo=""
[ "$(id -u)" -eq 0 ] || sudo="sudo"

launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
export CCACHE_BASEDIR=${CCACHE_BASEDIR:-$PWD} CCACHE_NOHASHDIR=${CCACHE_NOHASHDIR:-1}
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DVELMORA_TESTS=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" -j "$(nproc)"
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$build"/velmora_*.deb | head -n 1)
echo "package: $deb"
dpkg-deb --field "$deb" Package Version Depends

desktop-file-validate packaging/velmora.desktop
appstreamcli validate --no-net packaging/org.velmora.Velmora.metainfo.xml >/dev/null

$sudo apt-get install -y -qq "./$deb" >/dev/null
trap '$sudo apt-get remove -y -qq velmora >/dev/null 2>&1 || true' EXIT
test -x /usr/bin/velmora
test -f /usr/share/applications/velmora.desktop
test -f /usr/share/metainfo/org.velmora.Velmora.metainfo.xml
test -f /usr/share/icons/hicolor/48x48/apps/velmora.png
test -f /usr/share/icons/hicolor/scalable/apps/velmora.svg
test -f /usr/share/velmora/3.html
/usr/bin/velmora --version

# Start the installed program on demo data and check that it stays up with its window.
QT_QPA_PLATFORM=offscreen /usr/bin/velmora --demo &
pid=$!
sleep 3
kill -0 "$pid"
kill "$pid"
wait "$pid" 2>/dev/null || true
echo "started and shown: ok"

$sudo apt-get remove -y -qq velmora >/dev/null
trap - EXIT
test ! -e /usr/bin/velmora
echo "removed: ok"
