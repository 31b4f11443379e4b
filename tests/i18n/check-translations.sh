#!/usr/bin/env bash
# Every text the forms can show has a finished English translation, and the
# committed catalogue holds exactly the texts the sources mark: lupdate reads
# the sources into a copy of translations/vantoria_en.ts, which must come out
# unchanged (a new text would come in unfinished, a changed one would leave
# a vanished entry behind).
#
#   tests/i18n/check-translations.sh [LUPDATE]            check
#   tests/i18n/check-translations.sh --update [LUPDATE]   bring the .ts up to date
set -euo pipefail
cd "$(dirname "$0")/../.."
update=0
if [ "${1:-}" = --update ]; then update=1; shift; fi
lupdate=${1:-/usr/lib/qt6/bin/lupdate}
ts=translations/vantoria_en.ts
# The programs' forms and their glue; the command-line core has its own
# catalogue, and vantoria-ctl speaks English to scripts in every locale.
sources=(src/app src/settings src/change src/about src/widgets)
run() {
  "$lupdate" -silent -locations none -no-ui-lines -source-language ja -target-language en \
    -extensions cpp,h,ui -I src "${sources[@]}" -ts "$1"
}
if [ "$update" = 1 ]; then run "$ts"; exit 0; fi

tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cp "$ts" "$tmp/check.ts"
run "$tmp/check.ts"
status=0
if grep -n 'type="\(unfinished\|vanished\|obsolete\)"' "$tmp/check.ts" >&2; then
  echo "check-translations: texts above have no finished English translation, or are no longer in the sources" >&2
  status=1
fi
if ! diff -u "$ts" "$tmp/check.ts" >&2; then
  echo "check-translations: $ts is not up to date with the sources (run $0 --update, then translate)" >&2
  status=1
fi
# An empty translation would show nothing at all.
if grep -n '<translation></translation>\|<translation/>' "$tmp/check.ts" >&2; then
  echo "check-translations: empty translations above" >&2
  status=1
fi
exit $status
