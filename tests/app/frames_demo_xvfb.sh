#!/usr/bin/env bash
# Runs frames_demo as a real X11 program under Xvfb: the test application window with two MDI
# frames and a top-level frame.  Screenshots of the root window (ImageMagick's import) are kept
# in the artefact folder and checked: the frames' papers show; the first frame maximised fills
# the MDI area with its document; restored, the second frame shows again; minimised, the first
# reports it.
#   frames_demo_xvfb.sh <path of frames_demo> <artefact folder>
set -euo pipefail
demo=$1
out=$2
if [[ -z ${FRAMES_UNDER_XVFB:-} ]]; then
    mkdir -p "$out"
    FRAMES_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$demo" "$out"
fi

work=$(mktemp -d)
trap 'exec 3>&- 2>/dev/null || true; kill $pid 2>/dev/null || true; rm -rf "$work"' EXIT
mkfifo "$work/in"
QT_QPA_PLATFORM=xcb "$demo" < "$work/in" > "$work/out" 2> "$work/err" & pid=$!
exec 3> "$work/in"

fail() { echo "FAIL: $*"; cat "$work/err"; exit 1; }
source "$(dirname "$0")/xvfb_report.sh"

green="srgb(0,160,0)"
blue="srgb(0,0,192)"
for _ in $(seq 1 100); do grep -q '^READY' "$work/out" && break; sleep 0.1; done
grep -q '^READY' "$work/out" || fail "the demo did not start"
sleep 0.5
r=$(ask report)
expect_pixel frames "$(val cx "$r")" "$(val cy "$r")" "$blue" "the second frame's paper"

r=$(ask maximize)
[[ $(val max "$r") == 1 ]] || fail "the first frame should be maximised: $r"
ax=$(val ax "$r"); ay=$(val ay "$r"); aw=$(val aw "$r"); ah=$(val ah "$r")
expect_pixel maximized $((ax + aw / 4)) $((ay + ah * 3 / 4)) "$green" "the maximised document, lower left"
expect_pixel maximized $((ax + aw / 2)) $((ay + ah * 7 / 8)) "$green" "the maximised document, bottom middle"
expect_pixel maximized $((ax + aw - 12)) $((ay + ah / 8)) "$green" "the maximised document, top right"

r=$(ask restore-max)
[[ $(val max "$r") == 0 ]] || fail "the first frame should be restored: $r"
expect_pixel restored "$(val cx "$r")" "$(val cy "$r")" "$blue" "the second frame after the restore"

r=$(ask minimize)
[[ $(val min "$r") == 1 ]] || fail "the first frame should be minimised: $r"
shot minimized
echo quit >&3
wait $pid || true
echo "frames maximised, restored and minimised on the X11 screen; shots in $out"
