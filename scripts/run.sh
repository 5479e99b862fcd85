#!/usr/bin/env bash
# Installs, builds and starts the worksheet program with the given words.  Without a display
# that answers, runs the demo instead (scripts/demo.sh: the program on a sample worksheet under
# a virtual X server, with a screenshot).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
bin=build/release
if [[ -n ${DISPLAY:-} ]] && xdpyinfo > /dev/null 2>&1; then
    exec "$bin/app/wkelvo" "$@"
fi
exec bash scripts/demo.sh "$bin"
