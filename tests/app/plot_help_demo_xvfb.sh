#!/usr/bin/env bash
# Runs plot_help_demo as a real X11 program under Xvfb with "PlotBGColor" = "0 0 255" in its
# ini file.  Checks, with screenshots of the root window (ImageMagick's import) kept in the
# artefact folder:
#   - the main frame holds two worksheet windows and the plot window, whose middle is blue and
#     whose region has the plot window's canvas size;
#   - a help page closes on a mouse click (outside the page: the mouse is captured), on a key,
#     and on losing the focus to the root window, each sent with xdotool; a second event right
#     after the first changes nothing, and the program goes on answering.
#   plot_help_demo_xvfb.sh <path of plot_help_demo> <artefact folder>
set -euo pipefail
[[ -n ${PLOTHELP_TRACE:-} ]] && set -x
demo=$1
out=$2
here=$(cd "$(dirname "$0")" && pwd)
if [[ -z ${PLOTHELP_UNDER_XVFB:-} ]]; then
    mkdir -p "$out"
    PLOTHELP_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$demo" "$out"
fi

work=$(mktemp -d)
trap 'exec 3>&- 2>/dev/null || true; kill $pid 2>/dev/null || true; wait $pid 2>/dev/null || true; rm -rf "$work"' EXIT
printf '[Options]\nPlotBGColor=0 0 255\n' > "$work/rezuru5.ini"
mkfifo "$work/in"
XDG_CONFIG_HOME=$work QT_QPA_PLATFORM=xcb LSAN_OPTIONS=suppressions=$here/../data/app/lsan.supp \
    "$demo" -nosplash < "$work/in" > "$work/out" 2> "$work/err" & pid=$!
exec 3> "$work/in"

fail() { echo "FAIL: $*"; cat "$work/out" "$work/err"; exit 1; }
source "$(dirname "$0")/xvfb_report.sh"
# Asks until the report's help page count is the given one.
expect_pages() {   # count what
    local r
    for _ in $(seq 1 30); do
        r=$(ask state)
        [[ $(val pages "$r") == "$1" ]] && return 0
        sleep 0.1
    done
    fail "$2: $r"
}

for _ in $(seq 1 100); do grep -q '^READY' "$work/out" && break; sleep 0.1; done
r=$(grep '^READY' "$work/out" || true)
[[ -n $r ]] || fail "the demo did not start"
[[ $(val windows "$r") == 3 ]] || fail "two worksheet windows and a plot window expected: $r"
[[ $(val rw "$r") == "$(val cw "$r")" && $(val rh "$r") == "$(val ch "$r")" ]] ||
    fail "the plot region should have the plot window's canvas size: $r"
px=$(val px "$r"); py=$(val py "$r")
root=$(xwininfo -root | awk '/Window id/ {print $4}')
expect_pixel main_frame "$px" "$py" "srgb(0,0,255)" "the plot window's middle"

# Each way of closing a help page, then a second event of the same kind.
close_by() {   # way
    case $1 in
    click) xdotool mousemove "$px" "$py" click 1 ;;
    key) xdotool key a ;;
    focus) xdotool windowfocus "$root" ;;   # the focus leaves the program
    esac
}
for way in click key focus; do
    r=$(ask "help 420 300")
    [[ $(val pages "$r") == 1 && $(val grab "$r") == 1 ]] || fail "no help page opened with the mouse captured: $r"
    sleep 1
    close_by "$way"
    expect_pages 0 "the help page should close on a $way"
    close_by "$way"
    sleep 0.3
    r=$(ask state)
    [[ $(val pages "$r") == 0 && $(val windows "$r") == 3 && $(val grab "$r") == 0 ]] || fail "a second $way changed something: $r"
    kill -0 "$pid" || fail "the program ended after a second $way"
done
shot after
echo quit >&3
wait $pid || fail "the program did not end cleanly"
echo "main frame with two worksheets and a blue plot window; help pages closed once on the X11 screen by a click, a key and a focus loss; shots in $out"
