#!/usr/bin/env bash
# Runs zoom_shots_demo as a real X11 program under Xvfb on the demo worksheet: its window at
# 50 % and 200 % zoom with the group ranges shown and hidden, saved as PNG in the artefact
# folder (look at them), and the Print Preview dialog's area with the first page.  Checks: five
# shots; at 200 % more of the window is ink than at 50 %; showing the group ranges adds ink at
# both zooms; the previewed page is not blank.
#   zoom_shots_xvfb.sh <path of zoom_shots_demo> <demo worksheet> <artefact folder>
set -euo pipefail
demo=$1
sheet=$2
out=$3
here=$(cd "$(dirname "$0")" && pwd)
if [[ -z ${ZOOMSHOTS_UNDER_XVFB:-} ]]; then
    mkdir -p "$out"
    ZOOMSHOTS_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$demo" "$sheet" "$out"
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp "$sheet" "$work/sheet.kws"
fail() { echo "FAIL: $*"; cat "$work/out" "$work/err"; exit 1; }
XDG_CONFIG_HOME=$work ZOOM_SHOTS_DIR=$out QT_QPA_PLATFORM=xcb \
    LSAN_OPTIONS=suppressions=$here/../data/app/lsan.supp \
    timeout 120 "$demo" "$work/sheet.kws" -nosplash > "$work/out" 2> "$work/err" || fail "the program failed"
grep -q '^DONE' "$work/out" || fail "no shots"
ink() { sed -n "s/^SHOT $1 ink=//p" "$work/out"; }
for shot in zoom50-ranges zoom50-noranges zoom200-ranges zoom200-noranges; do
    [[ -s $out/$shot.png && -n $(ink $shot) ]] || fail "no shot $shot"
done
(( $(ink zoom200-ranges) > $(ink zoom50-ranges) )) || fail "200 % shows no more than 50 %"
(( $(ink zoom50-ranges) > $(ink zoom50-noranges) )) || fail "the group ranges show nothing at 50 %"
(( $(ink zoom200-ranges) > $(ink zoom200-noranges) )) || fail "the group ranges show nothing at 200 %"
[[ -s $out/preview-page1.png ]] || fail "no preview shot"
(( $(ink preview-page1) > 200 )) || fail "the previewed page is blank"
echo "zoom shots: $(grep '^SHOT' "$work/out" | tr '\n' ' ')in $out"
