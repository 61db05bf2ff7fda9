#!/usr/bin/env bash
# Checks the Debian package that `make package` made in a build folder: its
# files and Depends, that apt could install it here, and the programs run from
# a scratch root the package is unpacked into, as after installing it:
# tessaro-cli probe on a stream, both version blocks, and the update check and
# validation modules found where the programs look for them (beside
# themselves, then ../lib/tessaro/ from their folder).
set -euo pipefail
build=${1:-build}
source_dir=$(cd "$(dirname "$0")/.." && pwd)
fail() { echo "check-package: $*" >&2; exit 1; }

deb=$(ls -t "$build"/tessaro_*.deb 2>/dev/null | head -n 1)
[ -n "$deb" ] || fail "no tessaro_*.deb in $build (make package makes it)"
deb=$(cd "$(dirname "$deb")" && pwd)/$(basename "$deb")
scratch=$(mktemp -d)
trap 'rm -rf "$scratch"' EXIT
dpkg-deb -x "$deb" "$scratch"
echo "== $(basename "$deb")"

for file in usr/bin/tessaro usr/bin/tessaro-cli usr/share/applications/tessaro.desktop \
            usr/share/icons/hicolor/scalable/apps/tessaro.svg usr/share/mime/packages/tessaro.xml \
            usr/share/man/man1/tessaro.1.gz usr/share/man/man1/tessaro-cli.1.gz; do
  [ -s "$scratch/$file" ] || fail "the package lacks /$file"
done
grep -q '^MimeType=video/mp2t;' "$scratch/usr/share/applications/tessaro.desktop" ||
  fail "the desktop entry does not open video/mp2t"
for page in tessaro tessaro-cli; do
  zcat "$scratch/usr/share/man/man1/$page.1.gz" | grep -q '^\.TH' || fail "$page.1.gz is no manual page"
done

depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
for library in libc6 libstdc++6 libqt6core6 libqt6network6 libqt6widgets6 libqcustomplot2.1-qt6; do
  [[ $depends == *"$library"* ]] || fail "Depends does not name $library"
done
# Every dependency can be met on this system.
apt-get install --simulate --no-install-recommends "$deb" >/dev/null || fail "apt cannot install the package"

cli=$scratch/usr/bin/tessaro-cli
stream=$source_dir/tests/data/one-program.ts
probe=$("$cli" probe "$stream") || fail "the unpacked tessaro-cli probe failed"
expected=$("$build/src/cli/tessaro-cli" probe "$stream")
[ "$probe" = "$expected" ] || fail "probe printed '$probe', the build's own tessaro-cli '$expected'"
echo "tessaro-cli probe: $probe"
# The stripped programs keep their version blocks, and those name the package's version.
version=$(dpkg-deb -f "$deb" Version)
for program in tessaro tessaro-cli; do
  block=$("$cli" version "$scratch/usr/bin/$program" | head -n 1) || fail "/usr/bin/$program has no version block"
  [ "$block" = "$version" ] || fail "/usr/bin/$program is version $block, the package $version"
done
echo "version blocks: $version"
"$cli" --version
# The update check module: carried, versioned and found by the unpacked
# tessaro-cli (nothing listens on the discard port, so no newer version: 1).
update=usr/lib/tessaro/TessaroUpdate.so
block=$("$cli" version "$scratch/$update" | head -n 1) || fail "/$update is missing or has no version block"
[ "$block" = "$version" ] || fail "/$update is version $block, the package $version"
# A refused port: the module is found and run, and tells why the list could not be had.
status=0
reason=$(TESSARO_UPDATE_URL=http://127.0.0.1:9/ver.txt "$cli" version --check-update 2>&1) || status=$?
[ "$status" -eq 2 ] || fail "the unpacked tessaro-cli version --check-update exited $status, not 2"
case "$reason" in
  *"Connection refused"*) ;;
  *) fail "the unpacked tessaro-cli version --check-update said: $reason" ;;
esac
echo "update check module: /$update, run by the unpacked tessaro-cli"
env -u DISPLAY -u WAYLAND_DISPLAY "$scratch/usr/bin/tessaro" --version

module=usr/lib/tessaro/Pelvanor.pvm
if [ -f "$source_dir/modules/validator/CMakeLists.txt" ]; then
  [ -f "$scratch/$module" ] || fail "the validation module is not in /usr/lib/tessaro/"
  [ ! -e "$scratch/usr/bin/Pelvanor.pvm" ] || fail "a module beside the programs would hide the installed one"
  [ "$(realpath "$scratch/usr/bin/../lib/tessaro/Pelvanor.pvm")" = "$(realpath "$scratch/$module")" ] ||
    fail "../lib/tessaro/ from /usr/bin is not where the module is"
  for file in "$module" usr/lib/tessaro/PelvanorSettings.so; do
    block=$("$cli" version "$scratch/$file" | head -n 1) || fail "/$file has no version block"
    [ "$block" = "$version" ] || fail "/$file is version $block, the package $version"
  done
  "$cli" validate "$stream" >/dev/null || fail "the unpacked tessaro-cli cannot run the installed module"
  echo "validation module: /$module, run by the unpacked tessaro-cli"
else
  [ ! -e "$scratch/usr/lib/tessaro" ] || fail "/usr/lib/tessaro without a module in the sources"
  echo "validation module: not in these sources; /usr/bin/../lib/tessaro/ is where it goes"
fi
echo "package: ok"
