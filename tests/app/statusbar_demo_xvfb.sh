#!/usr/bin/env bash
# Runs statusbar_demo as a real X11 program under Xvfb with the scripted test kernel: checks
# the status bar's texts after the kernel's STATUS and the Undo text of the Edit menu after an
# undo group "Typing", and keeps screenshots of the root window (ImageMagick's import) of the
# open Edit menu over the frame and of the frame with its status bar in the artefact folder.
#   statusbar_demo_xvfb.sh <path of statusbar_demo> <scripted kernel library> <artefact folder>
set -euo pipefail
demo=$1
kernel=$2
out=$3
if [[ -z ${STATUSBAR_UNDER_XVFB:-} ]]; then
    mkdir -p "$out"
    STATUSBAR_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$demo" "$kernel" "$out"
fi

work=$(mktemp -d)
pid=
trap '[[ -n $pid ]] && kill $pid 2>/dev/null; rm -rf "$work"' EXIT
export XDG_CONFIG_HOME=$work
KELVO_KERNEL=$kernel QT_QPA_PLATFORM=xcb "$demo" -nosplash > "$work/out" 2> "$work/err" & pid=$!

fail() { echo "FAIL: $*"; cat "$work/out" "$work/err"; exit 1; }
for _ in $(seq 1 200); do grep -q '^MENU' "$work/out" && break; sleep 0.1; done
grep -q '^MENU' "$work/out" || fail "the demo did not open its menu"
status=$(grep '^STATUS' "$work/out")
[[ $status == "STATUS Time:   2.5s|Bytes: 3.91K|Available: "* ]] || fail "status bar: $status"
menu=$(grep '^MENU' "$work/out")
[[ $menu == "MENU ~Undo Typing" ]] || fail "Edit menu: $menu"
# The menu reaches the screen after the line was printed.
sleep 1
import -window root "$out/edit_menu.png"
xdotool key Escape
for _ in $(seq 1 100); do grep -q '^CLOSED' "$work/out" && break; sleep 0.1; done
grep -q '^CLOSED' "$work/out" || fail "the menu did not close"
sleep 0.5
import -window root "$out/frame_status.png"
kill -TERM $pid
wait $pid || fail "the program did not end cleanly"
echo "status bar and Edit menu on the X11 screen ($status, $menu); shots in $out"
