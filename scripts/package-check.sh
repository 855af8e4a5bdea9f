#!/usr/bin/env bash
# Makes the .deb from a build folder (default build/) and checks it as a
# user's machine would see it, without installing it: unpacked into a
# scratch root, the three programs answer --version from there (as an
# ordinary user where this runs as root), the desktop entry and the
# AppStream metadata pass their validators, the icon is there in every size
# and the manual pages too, and the package names the libraries it needs.
set -euo pipefail
cd "$(dirname "$0")/.."
BUILD_DIR="${1:-build}"
ID=inc.orsk.Knobwright
fail() { echo "package-check: $*" >&2; exit 1; }

rm -f "$BUILD_DIR"/knobwright_*.deb
(cd "$BUILD_DIR" && cpack -G DEB >/dev/null)
deb=$(ls "$BUILD_DIR"/knobwright_*.deb)
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
chmod 755 "$root"
dpkg-deb -x "$deb" "$root"

as_user=()
if [ "$(id -u)" -eq 0 ] && command -v runuser >/dev/null && id nobody >/dev/null 2>&1; then
  as_user=(runuser -u nobody --)
fi
for program in knobwright knobwright-sim knobwright-files; do
  answer=$(env -u DISPLAY -u WAYLAND_DISPLAY HOME=/nonexistent "${as_user[@]}" "$root/usr/bin/$program" --version) ||
    fail "$program --version failed"
  [[ $answer == "$program "* ]] || fail "$program --version said '$answer'"
done

desktop-file-validate "$root/usr/share/applications/$ID.desktop" || fail "the desktop entry is not valid"
appstreamcli validate --no-net "$root/usr/share/metainfo/$ID.metainfo.xml" >/dev/null ||
  fail "the AppStream metadata is not valid: $(appstreamcli validate --no-net "$root/usr/share/metainfo/$ID.metainfo.xml")"
[ -s "$root/usr/share/icons/hicolor/scalable/apps/$ID.svg" ] || fail "no scalable icon"
for size in 16 22 24 32 48 64 128 256; do
  png="$root/usr/share/icons/hicolor/${size}x${size}/apps/$ID.png"
  file -b "$png" | grep -q "PNG image data, $size x $size" || fail "$png: $(file -b "$png" 2>&1)"
done
for page in knobwright knobwright-sim knobwright-files; do
  zcat "$root/usr/share/man/man1/$page.1.gz" | grep -q "^\.TH ${page^^} 1" || fail "no manual page for $page"
done

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libqt6widgets6 libqt6gui6 libqt6core6 librtmidi6 libasound2 libjack; do
  [[ $depends == *"$lib"* ]] || fail "Depends does not name $lib: $depends"
done
echo "package-check: $(basename "$deb"), $(du -k "$deb" | cut -f1) KiB: the programs run from it," \
     "its desktop entry and metadata are valid; Depends: $depends"
