#!/usr/bin/env bash
# Builds the .deb, checks its metadata, installs it with apt into a fresh Debian
# root (debootstrap) that has nothing but the package's dependencies, and runs it.
# Set VELUNOR_SMOKE_ROOT to reuse an existing bootstrapped root.
set -euo pipefail
cd "$(dirname "$0")/.."

build=build/package
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVELUNOR_BUILD_TESTS=OFF \
    -DVELUNOR_BUILD_BENCH=OFF >/dev/null
cmake --build "$build" -j2 --target velunor >/dev/null
rm -f "$build"/velunor_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
deb=$(ls "$PWD/$build"/velunor_*.deb)
echo "package: $(basename "$deb")"

depends=$(dpkg-deb -f "$deb" Depends)
recommends=$(dpkg-deb -f "$deb" Recommends)
echo "Depends: $depends"
echo "Recommends: $recommends"
grep -q 'pandoc' <<<"$depends" || { echo "pandoc missing from Depends" >&2; exit 1; }
grep -q 'libqt6widgets6' <<<"$depends" || { echo "Qt missing from Depends" >&2; exit 1; }
grep -q 'texlive' <<<"$depends" && { echo "LaTeX must only be recommended" >&2; exit 1; }

files=$(mktemp -d)
trap 'rm -rf "$files"' EXIT
dpkg-deb -x "$deb" "$files"
desktop-file-validate "$files"/usr/share/applications/org.velunor.Velunor.desktop
appstreamcli validate --no-net "$files"/usr/share/metainfo/org.velunor.Velunor.metainfo.xml
test -f "$files"/usr/share/icons/hicolor/scalable/apps/org.velunor.Velunor.svg

root=${VELUNOR_SMOKE_ROOT:-}
if [ -z "$root" ]; then
    root=$(mktemp -d /tmp/velunor-smoke-root.XXXXXX)
    trap 'rm -rf "$files"; umount "$root/proc" 2>/dev/null || true; rm -rf "$root"' EXIT
    debootstrap --variant=minbase bookworm "$root" http://deb.debian.org/debian >/dev/null
fi
cp "$deb" "$root"/tmp/
mountpoint -q "$root/proc" || mount -t proc proc "$root/proc"
chroot "$root" apt-get update -qq
chroot "$root" env DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends \
    "/tmp/$(basename "$deb")" >/dev/null
version=$(chroot "$root" velunor --version)
umount "$root/proc" || true
echo "installed: $version"
[ "$version" = "velunor $(sed -n 's/^project(Velunor VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)" ]
echo "package smoke: ok"
