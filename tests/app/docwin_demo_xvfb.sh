#!/usr/bin/env bash
# Runs docwin_demo as a real X11 window under Xvfb and drives it with xdotool: two clicks on the
# vertical bar's lower arrow and a drag of the horizontal thumb, then a resize of its frame
# beyond the document.  Screenshots of the root window (ImageMagick's import) before, after the
# scrolling and after the resize are kept in the artefact folder and checked: the canvas after
# scrolling shows the earlier picture moved up by two line steps and left by the dragged
# distance; after the resize both bars are gone and the document is drawn centred.
#   docwin_demo_xvfb.sh <path of docwin_demo> <artefact folder>
set -euo pipefail
demo=$1
out=$2
if [[ -z ${DOCWIN_UNDER_XVFB:-} ]]; then
    mkdir -p "$out"
    DOCWIN_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$demo" "$out"
fi

work=$(mktemp -d)
trap 'exec 3>&- 2>/dev/null || true; kill $pid 2>/dev/null || true; rm -rf "$work"' EXIT
mkfifo "$work/in"
QT_QPA_PLATFORM=xcb "$demo" < "$work/in" > "$work/out" 2> "$work/err" & pid=$!
exec 3> "$work/in"

fail() { echo "FAIL: $*"; cat "$work/err"; exit 1; }
source "$(dirname "$0")/xvfb_report.sh"
# Number of differing pixels between a region of one shot and a region of another.
differ() {   # shot1 x1 y1 shot2 x2 y2 w h
    convert "$out/$1.png" -crop "$7x$8+$2+$3" +repage "$work/a.png"
    convert "$out/$4.png" -crop "$7x$8+$5+$6" +repage "$work/b.png"
    compare -metric AE "$work/a.png" "$work/b.png" null: 2>&1 || true
}

for _ in $(seq 1 100); do grep -q '^READY' "$work/out" && break; sleep 0.1; done
ready=$(grep '^READY' "$work/out") || fail "the demo did not start"
sleep 0.5
r=$(ask report)
sx=$(val sx "$r"); sy=$(val sy "$r"); cw=$(val cw "$r"); ch=$(val ch "$r"); step=$(val step "$r")
[[ $(val hbar "$r") == 1 && $(val vbar "$r") == 1 ]] || fail "both bars should show at first: $r"
shot before

# Two clicks on the lower arrow, then the horizontal thumb dragged 60 pixels right.
xdotool mousemove "$(val arrowx "$r")" "$(val arrowy "$r")" click 1 sleep 0.3 click 1 sleep 0.3
r=$(ask report)
tx=$(val thumbx "$r"); ty=$(val thumby "$r")
xdotool mousemove "$tx" "$ty" mousedown 1 sleep 0.2 mousemove $((tx + 30)) "$ty" sleep 0.2 \
    mousemove $((tx + 60)) "$ty" sleep 0.2 mouseup 1 sleep 0.3
r=$(ask report)
x=$(val x "$r"); y=$(val y "$r")
[[ $y == $((-2 * step)) ]] || fail "two arrow clicks should scroll by two line steps ($step): $r"
[[ $x -lt 0 ]] || fail "the thumb drag should scroll left: $r"
[[ $(val corner "$r") == 1 ]] || fail "the corner box should show: $r"
dx=$((-x)); dy=$((-y))
for _ in $(seq 1 30); do
    shot after
    [[ $(differ after "$sx" "$sy" before $((sx + dx)) $((sy + dy)) $((cw - dx)) $((ch - dy))) == 0 ]] && break
    sleep 0.2
done
n=$(differ after "$sx" "$sy" before $((sx + dx)) $((sy + dy)) $((cw - dx)) $((ch - dy)))
[[ $n == 0 ]] || fail "the canvas after scrolling is not the earlier one moved by ($dx, $dy): $n pixels differ"
# The corner box (colour-name 28) sits right of and below the canvas.
corner=$(convert "$out/after.png" -format "%[pixel:p{$((sx + cw + 3)),$((sy + ch + 3))}]" info:)
want=$(sed -n 's/.* corner_rgb=\([^ ]*\).*/\1/p' <<< "$r")
[[ $corner == "$want" ]] || fail "the corner box shows $corner, not $want"

# The frame made larger than the document: no bars, the document centred.
r=$(ask "resize 900 700")
for _ in $(seq 1 30); do [[ $(val hbar "$r") == 0 && $(val vbar "$r") == 0 ]] && break; sleep 0.2; r=$(ask report); done
[[ $(val hbar "$r") == 0 && $(val vbar "$r") == 0 ]] || fail "no bar should show beyond the document: $r"
x3=$(val x "$r"); y3=$(val y "$r"); cw3=$(val cw "$r"); ch3=$(val ch "$r"); dw=$(val dw "$r"); dh=$(val dh "$r")
sx3=$(val sx "$r"); sy3=$(val sy "$r")
[[ $x3 == $(((cw3 - dw) / 2)) && $y3 == $(((ch3 - dh) / 2)) && $x3 -gt 0 && $y3 -gt 0 ]] ||
    fail "the document should sit centred: $r"
for _ in $(seq 1 30); do
    shot resized
    [[ $(differ resized $((sx3 + x3)) $((sy3 + y3)) before "$sx" "$sy" "$cw" "$ch") == 0 ]] && break
    sleep 0.2
done
n=$(differ resized $((sx3 + x3)) $((sy3 + y3)) before "$sx" "$sy" "$cw" "$ch")
[[ $n == 0 ]] || fail "the centred document differs from its first picture: $n pixels"
echo quit >&3
wait $pid || true
echo "document window scrolled and centred on the X11 screen; shots in $out"
