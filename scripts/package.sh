#!/usr/bin/env bash
# Builds the Debian package build/vantoria_<version>_<arch>.deb from this
# tree: a release build with Debian's hardening flags, installed under /usr
# into a staging root, stripped, with the manual pages compressed, the
# documentation Debian asks for, and the dependencies that dpkg-shlibdeps
# reads from the binaries. Installs nothing on this machine.
#
#   scripts/package.sh            build and package
#   LINTIAN=0 scripts/package.sh  skip the lintian check
set -euo pipefail
cd "$(dirname "$0")/.."
top=$PWD
work=build/deb
# dpkg-shlibdeps looks for the package's files in debian/<package>.
root=$work/pkg/debian/vantoria
mkdir -p build

version=$(sed -n 's/^project(Vantoria VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
arch=$(dpkg --print-architecture)
[ -n "$version" ] || { echo "package.sh: no project version in CMakeLists.txt" >&2; exit 1; }
changelog_version=$(sed -n '1s/^vantoria (\([^)]*\)).*/\1/p' packaging/debian/changelog)
if [ "$changelog_version" != "$version" ]; then
  echo "package.sh: packaging/debian/changelog starts at $changelog_version, the project is $version" >&2
  exit 1
fi

# Debian's flags (all hardening: fortify, relro, bind now); CMake takes them
# from the environment at its first configure, so the build folder is made anew.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all
eval "$(dpkg-buildflags --export=sh)"
export CFLAGS="$CFLAGS $CPPFLAGS" CXXFLAGS="$CXXFLAGS $CPPFLAGS"
rm -rf "$work"
cmake -S . -B "$work/cmake" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_INSTALL_PREFIX=/usr \
  -DVANTORIA_BUILD_TESTS=OFF -DVANTORIA_BUILD_BENCH=OFF >/dev/null
cmake --build "$work/cmake"
DESTDIR="$top/$root" cmake --install "$work/cmake" >/dev/null

# What dh_strip, dh_compress and dh_installdocs would do.
mapfile -t elves < <(find "$root" -type f -exec sh -c 'head -c4 "$1" | grep -q "^.ELF"' _ {} \; -print | sort)
for f in "${elves[@]}"; do
  case "$f" in
    */usr/bin/*|*/usr/libexec/*) strip --remove-section=.comment --remove-section=.note "$f" ;;
    *) strip --remove-section=.comment --remove-section=.note --strip-unneeded "$f"; chmod 0644 "$f" ;;
  esac
done
find "$root/usr/share/man" -type f -name '*.[0-9]' -exec gzip -9n {} +
doc=$root/usr/share/doc/vantoria
install -d "$doc"
install -m 0644 packaging/debian/copyright "$doc/copyright"
gzip -9nc packaging/debian/changelog > "$doc/changelog.gz"
chmod -R u=rwX,go=rX "$root"
find "$root/usr/bin" "$root/usr/libexec" -type f -exec chmod 0755 {} +

# Dependencies from the binaries and plug-ins; dpkg-shlibdeps wants a
# debian/control beside it, and finds the package's root by its DEBIAN folder.
install -d "$root/DEBIAN"
printf 'Source: vantoria\n\nPackage: vantoria\nArchitecture: any\n' > "$work/pkg/debian/control"
depends=$(cd "$work/pkg" && dpkg-shlibdeps -O "${elves[@]/#$work\/pkg\//-e}" | sed -n 's/^shlibs:Depends=//p')
[ -n "$depends" ] || { echo "package.sh: dpkg-shlibdeps found no dependencies" >&2; exit 1; }

size=$(du -sk --exclude=DEBIAN "$root" | cut -f1)
sed -e "s/@VERSION@/$version/" -e "s/@ARCH@/$arch/" -e "s/@SIZE@/$size/" -e "s/@DEPENDS@/$depends/" \
  packaging/debian/control.in > "$root/DEBIAN/control"
(cd "$root" && find usr -type f -print0 | sort -z | xargs -0 md5sum) > "$root/DEBIAN/md5sums"
chmod 0644 "$root/DEBIAN/control" "$root/DEBIAN/md5sums"

deb=build/vantoria_${version}_${arch}.deb
dpkg-deb --root-owner-group -Zxz --build "$root" "$deb" >/dev/null
echo "$deb"

if [ "${LINTIAN:-1}" != 0 ] && command -v lintian >/dev/null; then
  lintian --fail-on error "$deb" >&2 || {
    echo "package.sh: lintian found errors" >&2
    exit 1
  }
fi
