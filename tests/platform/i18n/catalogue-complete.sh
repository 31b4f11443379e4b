#!/usr/bin/env bash
# Every text the sources mark i18n::Translatable() has an English
# translation in po/en.po that is neither empty nor fuzzy, and the
# catalogue compiles cleanly.
set -euo pipefail
cd "$(dirname "$0")/../../.."
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
po/update.sh --pot "$tmp/vantoria.pot"
grep -q '^msgid "[^"]' "$tmp/vantoria.pot" || { echo "catalogue-complete: no marked texts found" >&2; exit 1; }
for po in po/*.po; do
  msgfmt --check -o /dev/null "$po"
  msgcmp "$po" "$tmp/vantoria.pot" || { echo "catalogue-complete: $po lacks translations (po/update.sh)" >&2; exit 1; }
done
