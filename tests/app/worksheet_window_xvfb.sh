#!/usr/bin/env bash
# The end of the road on a real X11 display under Xvfb: the worksheet program starts in a
# process of its own (worksheet_window_demo: wkelvo with a write request for the test) on a
# worksheet whose root is empty (its placeholder makes the first input), and xdotool types "1+2;" and Return as a user would.  The
# window's area below the input must change from the background, and the document, written by
# Document::writeWorksheet with its element tree beside it, must hold the input and after it an
# output paragraph of style 6 with "3", and a new empty input after that.
# The settings come from a temporary XDG_CONFIG_HOME whose rezuru5.ini sets PrettyPrint to 0.
# With the shot name "typeset" the ini file is fresh (PrettyPrint 3) and the input is
# "expand((x+1)^2);": the output paragraph is of style 11 and holds the math element of the
# result, drawn as two-dimensional text, and the written file holds its "XPPMATH" record.
# With the shot name "help" KELVO_KERNEL names the scripted test kernel, whose ask(TEXT, ...)
# sends a TEXT reply (the math kernel has no procedure that sends one): the help worksheet opens
# in a top-level window of its own and becomes the active worksheet.
# Screenshots before and after stay in the artefact folder.
#   worksheet_window_xvfb.sh <worksheet_window_demo> <artefact folder> <shot name> [options...]
set -euo pipefail
[[ -n ${WSWIN_TRACE:-} ]] && set -x
demo=$1
out=$2
name=$3
shift 3
here=$(cd "$(dirname "$0")" && pwd)
if [[ -z ${WSWIN_UNDER_XVFB:-} ]]; then
    mkdir -p "$out"
    WSWIN_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 1024x768x24" bash "$0" "$demo" "$out" "$name" "$@"
fi
work=$(mktemp -d)
trap 'kill $pid 2>/dev/null || true; wait $pid 2>/dev/null || true; rm -rf "$work"' EXIT
if [[ $name == help ]]; then
    [[ -n ${KELVO_KERNEL:-} ]] || { echo "FAIL: KELVO_KERNEL names no scripted kernel"; exit 1; }
    input='ask(TEXT, "Integration", "int(f, x) integrates f.", "   ", "See also diff.");'
    # The help worksheet is the active one now: its paragraphs hold the reply's lines (a
    # paragraph's lines are one text run with a line feed).
    expected() { [[ $order == *"TEXT Integration|int(f, x) integrates f.|"*"TEXT See also diff."* ]]; }
elif [[ $name == typeset ]]; then
    input='expand((x+1)^2);'
    # The input, the output paragraph of style 11 with the expanded square, a new empty input.
    expected() { [[ $order == *"INPUT $input|PARA 11|MATH "*"x^2"*"|INPUT |"* ]] && grep -q '{XPPMATH ' "$work/written.kws"; }
else
    printf '[Worksheets]\nPrettyPrint=0\n' > "$work/rezuru5.ini"
    input='1+2;'
    # The input, then the output paragraph of style 6 with 3, then a new empty input.
    expected() { [[ $order == *"INPUT $input|PARA 6|"*"3"*"|INPUT |"* ]]; }
fi
cp "$here/../data/app/empty_worksheet.kws" "$work/sheet.kws"
fail() { echo "FAIL: $*"; cat "$work/err"; exit 1; }
trap 'cat "$work/err" >&2' ERR

XDG_CONFIG_HOME=$work KELVO_WRITE_REQUEST=$work/request QT_QPA_PLATFORM=xcb \
    LSAN_OPTIONS=suppressions=$here/../data/app/lsan.supp \
    "$demo" "$work/sheet.kws" -nosplash "$@" > "$work/out" 2> "$work/err" & pid=$!
for _ in $(seq 1 300); do grep -q '^READY' "$work/out" && break; sleep 0.1; done
grep -q '^READY' "$work/out" || fail "the program did not start"
window=$(timeout 60 xdotool search --sync --name "^Kelvo V Release 5$" | head -1) || fail "no main frame"
xdotool windowactivate --sync "$window" 2>/dev/null || xdotool windowfocus "$window" 2>/dev/null || true
sleep 1
import -window root "$out/$name-before.png"

# Writes the worksheet through the program and leaves it in $work/written.kws.
written() {
    rm -f "$work/written.kws"
    echo "$work/written.kws" > "$work/request"
    for _ in $(seq 1 100); do [[ ! -e $work/request ]] && break; sleep 0.1; done
    [[ -s $work/written.kws.tree ]] && cat "$work/written.kws.tree"
}

xdotool type --delay 60 "$input"
xdotool key --delay 60 Return
# The result arrives from the kernel, and the new input after it when the group has finished:
# the worksheet is asked again until it holds both.
order=
for _ in $(seq 1 100); do
    sheet=$(written || true)
    order=$(sed 's/^ *//' <<< "$sheet" | grep -v '^KIND\|^PARA 0$' | tr '\n' '|')
    expected && break
    sleep 0.2
done
[[ -s $work/written.kws ]] || fail "the worksheet was not written"
if ! expected; then
    import -window root "$out/$name-failed.png"
    fail "the tree is not input, output, new input: $order"
fi
sleep 1
import -window root "$out/$name-after.png"
# The area below the input changed from the background.
diff=$(compare -metric AE "$out/$name-before.png" "$out/$name-after.png" null: 2>&1 || true)
[[ ${diff%% *} -gt 20 ]] || fail "the screen did not change ($diff pixels)"
echo "the output of $input appeared below the input ($diff pixels changed); shots in $out"
