#!/usr/bin/env bash
# The OLE library's clipboard between two processes on one X11 display (Xvfb): an object copied
# by one process pastes in another with the same bytes, both formats are offered, and with only
# text on the clipboard the paste answers false.
#   ole_clipboard_xvfb.sh <path of ole_clip_tool>
set -euo pipefail
tool=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# Qt's xcb platform brings session libraries whose start-up blocks stay to the end.
export LSAN_OPTIONS=suppressions=$(cd "$(dirname "$0")/../../data/platform/ole" && pwd)/lsan_xcb.supp
export TOOL=$tool WORK=$work
xvfb-run -a -s "-screen 0 320x240x24" bash -euo pipefail -c '
    export QT_QPA_PLATFORM=xcb
    "$TOOL" make "$WORK/object.bin"

    # One process copies and keeps serving the clipboard until told to stop.
    coproc COPIER { "$TOOL" copy "$WORK/object.bin"; }
    read -r line <&"${COPIER[0]}"
    [ "$line" = copied ] || { echo "copier said: $line"; exit 1; }
    formats=$("$TOOL" paste "$WORK/pasted.bin")
    echo stop >&"${COPIER[1]}"
    wait "$COPIER_PID"
    [ "$formats" = "embedded=1 descriptor=1" ] || { echo "formats offered: $formats"; exit 1; }
    cmp "$WORK/object.bin" "$WORK/pasted.bin"

    # Only text on the clipboard: the paste answers false.
    coproc TEXTER { "$TOOL" text "just text"; }
    read -r line <&"${TEXTER[0]}"
    status=0
    formats=$("$TOOL" paste "$WORK/none.bin") || status=$?
    echo stop >&"${TEXTER[1]}"
    wait "$TEXTER_PID"
    [ "$status" = 3 ] || { echo "paste of text answered status $status"; exit 1; }
    [ "$formats" = "embedded=0 descriptor=0" ] || { echo "formats offered with text: $formats"; exit 1; }
'
echo "OLE object moved between two processes"
