#!/usr/bin/env bash
# The end of the road on a real X11 display under Xvfb: the worksheet program starts in a
# process of its own (worksheet_window_demo: wkelvo with a write request for the test) on a
# worksheet whose root is empty (its placeholder makes the first input), and xdotool types "1+2;" and Return as a user would.  The
# window's area below the input must change from the background, and the document, written by
# Document::writeWorksheet with its element tree beside it, must hold the input and after it an
# output paragraph of style 6 with "3", and a new empty input after that.
# The settings come from a temporary XDG_CONFIG_HOME whose rezuru5.ini sets PrettyPrint to 0.
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
printf '[Worksheets]\nPrettyPrint=0\n' > "$work/rezuru5.ini"
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

xdotool type --delay 60 '1+2;'
xdotool key --delay 60 Return
# The result arrives from the kernel: the worksheet is asked again until it holds an output.
for _ in $(seq 1 100); do
    sheet=$(written || true)
    grep -q 'PARA 6' <<< "$sheet" && break
    sleep 0.2
done
[[ -s $work/written.kws ]] || fail "the worksheet was not written"
# The input, then the output paragraph of style 6 with 3, then a new empty input.
order=$(sed 's/^ *//' <<< "$sheet" | grep -v '^KIND\|^PARA 0$' | tr '\n' '|')
[[ $order == *"INPUT 1+2;|PARA 6|"*"3"*"|INPUT |"* ]] || fail "the tree is not input, output 3, new input: $order"
sleep 1
import -window root "$out/$name-after.png"
# The area below the input changed from the background.
diff=$(compare -metric AE "$out/$name-before.png" "$out/$name-after.png" null: 2>&1 || true)
[[ ${diff%% *} -gt 20 ]] || fail "the screen did not change ($diff pixels)"
echo "the output 3 appeared below the input ($diff pixels changed); shots in $out"
