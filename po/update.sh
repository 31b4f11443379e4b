#!/usr/bin/env bash
# Collects the texts marked i18n::Translatable() in src/ and merges them into
# every po/<language>.po: new texts arrive untranslated, changed ones fuzzy.
#   po/update.sh            update the .po files
#   po/update.sh --pot FILE only write the collected texts to FILE
set -euo pipefail
cd "$(dirname "$0")/.."
pot=$(mktemp)
trap 'rm -f "$pot"' EXIT
find src -name '*.cpp' -o -name '*.h' | LC_ALL=C sort |
  xgettext --from-code=UTF-8 --language=C++ --keyword= --keyword=Translatable --add-location=file \
    --package-name=vantoria -o "$pot" -f -
if [ "${1:-}" = --pot ]; then cp "$pot" "$2"; exit 0; fi
for po in po/*.po; do
  msgmerge --quiet --update --backup=none --no-wrap "$po" "$pot"
done
