#!/usr/bin/env bash
# Tries the Debian package without installing it: unpacks it into a
# temporary root, checks what it holds and its metadata, and sets a PNG
# wallpaper with the packaged vantoria-change and the packaged plug-ins,
# linked into a start folder by the packaged launcher.
#
#   tests/package/check-package.sh [build/vantoria_<version>_<arch>.deb]
set -euo pipefail
cd "$(dirname "$0")/../.."
deb=${1:-$(ls -t build/vantoria_*_*.deb | head -n 1)}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
fail() { echo "check-package: $*" >&2; exit 1; }

dpkg-deb -x "$deb" "$tmp/root"
root=$tmp/root
dpkg-deb -f "$deb" Depends | grep -q libqt6widgets6 || fail "Depends lacks the Qt libraries"

for f in usr/bin/vantoria usr/bin/vantoria-change usr/bin/vantoria-launch \
         usr/share/vantoria/Runo.hlp usr/share/vantoria/Runo.en.hlp usr/share/locale/en/LC_MESSAGES/vantoria.mo \
         usr/share/vantoria/vantoria-autostart.desktop \
         usr/share/vantoria/translations/vantoria_en.qm \
         usr/share/applications/vantoria.desktop usr/share/metainfo/example.brightmoss.Vantoria.metainfo.xml \
         usr/share/icons/hicolor/48x48/apps/vantoria.png usr/share/doc/vantoria/copyright; do
  [ -f "$root/$f" ] || fail "$f is missing"
done
plugins=$(dirname "$(find "$root/usr/lib" -path '*/vantoria/plugins/png.spi' | head -n 1)")
[ -f "$plugins/png.spi" ] || fail "no plug-in folder under /usr/lib"
if ldd "$root/usr/bin/vantoria-change" "$plugins"/*.spi | grep -q 'not found'; then fail "unresolved libraries"; fi

desktop-file-validate "$root/usr/share/applications/vantoria.desktop" "$root/usr/share/vantoria/vantoria-autostart.desktop"
if desktop-file-validate "$root/usr/share/applications/vantoria.desktop" | grep -q .; then fail "desktop entry hints"; fi
appstreamcli validate --no-net "$root/usr/share/metainfo/example.brightmoss.Vantoria.metainfo.xml" >/dev/null
for page in vantoria vantoria-change vantoria-ctl vantoria-launch; do
  warnings=$(LC_ALL=C.UTF-8 MANROFFSEQ='' MANWIDTH=80 \
    man --warnings -E UTF-8 -l -Tutf8 -Z "$root/usr/share/man/man1/$page.1.gz" 2>&1 >/dev/null)
  [ -z "$warnings" ] || fail "manual page $page: $warnings"
done

# A private user: settings, data, runtime and state folders of its own.
home=$tmp/home
mkdir -p "$home/config/vantoria" "$home/data" "$home/runtime"
chmod 0700 "$home/runtime"
env_user=(HOME="$home" XDG_CONFIG_HOME="$home/config" XDG_DATA_HOME="$home/data" XDG_CACHE_HOME="$home/cache"
          XDG_STATE_HOME="$home/state" XDG_RUNTIME_DIR="$home/runtime" VANTORIA_DESKTOP=none
          QT_QPA_PLATFORM=offscreen DISPLAY= WAYLAND_DISPLAY=)

# The launcher makes the start folder and links the packaged plug-ins in,
# then becomes the tray program, which is stopped after a moment.
env "${env_user[@]}" timeout -s TERM 5 "$root/usr/bin/vantoria-launch" >/dev/null 2>&1 || true
start=$home/data/vantoria
[ "$(readlink -f "$start/png.spi")" = "$(readlink -f "$plugins/png.spi")" ] || fail "the launcher linked no plug-ins"

# A PNG through the linked plug-ins, from the start folder.
printf 'Windows Registry Editor Version 5.00\n\n[HKEY_CURRENT_USER\\Software\\Brightmoss\\Runo]\n"PathPlugin"="%s"\n' \
  "$start" > "$home/config/vantoria/registry.reg"
sample=$PWD/data/samples/sample.png
(cd "$start" && env "${env_user[@]}" "$root/usr/bin/vantoria-change" --no-run --screen 64x48 "$sample") ||
  fail "vantoria-change failed"
[ "$(head -c 2 "$start/Runo.bmp")" = BM ] || fail "no wallpaper buffer"
size=$(od -An -tu4 -j18 -N8 "$start/Runo.bmp" | tr -s ' ')
[ "$size" = " 64 48" ] || fail "the buffer is $size, not 64 48"

# The packaged catalogue speaks English for an English user, even where the
# machine has not generated that locale; C stays the program's own Japanese.
message() { (cd "$start" && env "${env_user[@]}" LANGUAGE= LC_ALL= LC_MESSAGES= LANG="$1" \
  "$root/usr/bin/vantoria-change" --no-run --screen 64x48 "$tmp/missing.bmp" 2>&1) || true; }
message en_US.UTF-8 | grep -q '^vantoria-change: Cannot create the wallpaper\.' || fail "no English message: $(message en_US.UTF-8)"
message C | grep -q '^vantoria-change: 壁紙を作成できません。' || fail "no Japanese message in C: $(message C)"
echo "check-package: $deb holds a working program"
