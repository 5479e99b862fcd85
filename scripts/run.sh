#!/usr/bin/env bash
# Installs, builds and starts the worksheet program (under X11; set DISPLAY, or use xvfb-run).
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/build.sh
bin=build/release
if [[ -x $bin/app/wkelvo ]]; then
    exec "$bin/app/wkelvo" "$@"
fi
echo "The worksheet program is not built yet.  Built so far:"
find "$bin" -maxdepth 3 -type f -executable \( -name 'kernsrv' -o -name 'arcman' -o -name 'srcmend' \
     -o -name 'vetlin' -o -name '*.so' \) -printf '  %p\n' | sort
