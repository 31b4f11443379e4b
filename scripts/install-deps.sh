#!/usr/bin/env bash
# Installs every Debian package that building, testing and running Vantoria
# needs: the union of the lists in scripts/deps/*.list (one package or more a
# line, "#" starts a comment). Does nothing when they are all present.
set -euo pipefail
cd "$(dirname "$0")"

mapfile -t packages < <(sed 's/#.*//' deps/*.list | tr -s ' \t' '\n' | grep -v '^$' | sort -u)

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done
[ ${#missing[@]} -eq 0 ] && exit 0

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
export DEBIAN_FRONTEND=noninteractive
$sudo apt-get update -q
$sudo apt-get install -y -q --no-install-recommends "${missing[@]}"
