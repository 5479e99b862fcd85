#!/usr/bin/env bash
# Installs every Debian package of scripts/packages.txt (or of the list file given) that is not
# installed yet.  Packages
# listed after the line "# without recommended packages" are installed without them (octave's
# recommendations bring Java, documentation and a Qt gnuplot that nothing here uses).
# Quick to repeat: when everything is there it asks no package server.
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
missing=()
bare=()
plain=1
while read -r pkg; do
    [[ "$pkg" == "# without recommended packages" ]] && plain=0
    [[ -z "$pkg" || "$pkg" == \#* ]] && continue
    status=$(dpkg-query -W -f='${Status}' "$pkg" 2>/dev/null || true)
    [[ "$status" == "install ok installed" ]] && continue
    if ((plain)); then missing+=("$pkg"); else bare+=("$pkg"); fi
done < "${1:-$here/packages.txt}"
if ((${#missing[@]} + ${#bare[@]})); then
    echo "installing: ${missing[*]} ${bare[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -q
    if ((${#missing[@]})); then apt-get install -y -q "${missing[@]}"; fi
    if ((${#bare[@]})); then apt-get install -y -q --no-install-recommends "${bare[@]}"; fi
fi
