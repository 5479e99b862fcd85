#!/usr/bin/env bash
# Runs the worksheet program on a copy of the sample worksheet under a virtual X server, the
# way a user would: presses Return once per input, each time after the previous result has
# appeared, saves a screenshot into <build>/demo/, ends the program and prints the paths it
# wrote.
#
#   bash scripts/demo.sh [build folder]      (default build/release)
#
# The evaluated worksheet is saved over the copy by the program's own Save (File menu, chosen
# from the keyboard), and its path printed.  With KELVO_DEMO_SAVED_CHECK naming a command, the
# save is repeated until that command, given the saved file, succeeds (the outputs may still be
# arriving when the first save runs).
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/release}
program=$build/app/wkelvo
[[ -x $program ]] || { echo "demo: $program is not built" >&2; exit 1; }

if [[ ${KELVO_DEMO_INSIDE:-} != 1 ]]; then
    # A server of our own, 1280 x 1024, no window manager.
    export KELVO_DEMO_INSIDE=1
    exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$build"
fi

demo=$(realpath -m "$build/demo")
mkdir -p "$demo"
sample=$demo/sample.kws
shot=$demo/screenshot.png
cp app/demo/sample.kws "$sample"
rm -f "$shot"
inputs=$(grep -o 'KLVTEXT' "$sample" | wc -l)

# The program's settings stay inside the demo folder.
export XDG_CONFIG_HOME=$demo/config
unset QT_QPA_PLATFORM
# On a sanitizer build: the libraries' own start-up blocks are not the program's leaks.
export LSAN_OPTIONS=suppressions=$PWD/tests/data/app/lsan.supp
"$program" "$sample" -nosplash > "$demo/wkelvo.log" 2>&1 &
pid=$!
trap 'kill "$pid" 2>/dev/null || true' EXIT

# Wait for the main frame to appear (the program shows it when start-up is done).
if ! window=$(timeout 120 xdotool search --sync --name "^Kelvo V Release 5$" | head -1) || [[ -z $window ]]; then
    echo "demo: the main frame did not appear; see $demo/wkelvo.log" >&2
    exit 1
fi
xdotool windowfocus "$window" 2>/dev/null || true
# Pixels that differ between two shots of the screen.
changed() { local n; n=$(compare -metric AE "$1" "$2" null: 2>&1 || true); echo "${n%% *}"; }
# Return runs the input at the caret; when its group has finished the caret stands on the next
# input.  A key that arrives while the group still computes is refused (the window keeps
# editing out meanwhile), so each Return waits for the screen to show the result and then to
# stay still (the blinking caret aside, a few dozen pixels) before the next one.
quiet=64
for ((i = 0; i < inputs; i++)); do
    import -window root "$demo/before.png"
    xdotool key Return
    shown=0
    for ((try = 0; try < 120; try++)); do
        sleep 0.25
        import -window root "$demo/now.png"
        if [[ $shown -eq 0 ]]; then
            [[ $(changed "$demo/before.png" "$demo/now.png") -gt $quiet ]] && shown=1
        elif [[ $(changed "$demo/last.png" "$demo/now.png") -le $quiet ]]; then
            break
        fi
        mv "$demo/now.png" "$demo/last.png"
    done
done
rm -f "$demo/before.png" "$demo/now.png" "$demo/last.png"
# Let the last key's repaint reach the screen: a round trip through the X server and the
# program's event loop; on a loaded machine painting may lag further, so the screen is taken
# again until it shows the program's windows (more than a blank screen's colours).
xdotool search --sync --name "^Kelvo V Release 5$" > /dev/null
for ((try = 0; try < 60; try++)); do
    import -window root "$shot"
    [[ -s $shot && $(identify -format '%k' "$shot") -ge 3 ]] && break
    sleep 0.5
done

# File > Save from the keyboard, as a user would; the sample has a name, so no dialog asks.
saved=0
before=$(stat -c %Y.%s "$sample")
for ((try = 0; try < 40; try++)); do
    xdotool key --delay 80 alt+f
    xdotool key --delay 80 s
    sleep 0.5
    now=$(stat -c %Y.%s "$sample")
    [[ $now == "$before" ]] && continue
    if [[ -z ${KELVO_DEMO_SAVED_CHECK:-} ]] || $KELVO_DEMO_SAVED_CHECK "$sample" > "$demo/saved_check.log" 2>&1; then
        saved=1
        break
    fi
    before=$now
done

kill -TERM "$pid"
status=0
wait "$pid" || status=$?
trap - EXIT
if [[ $status -ne 0 ]]; then
    echo "demo: the program ended with status $status; see $demo/wkelvo.log" >&2
    exit 1
fi

# The screenshot must show more than an empty screen.
colours=$(identify -format '%k' "$shot")
if [[ ! -s $shot || $colours -lt 3 ]]; then
    echo "demo: the screenshot $shot shows nothing" >&2
    exit 1
fi
echo "Screenshot: $shot"
if [[ $saved -ne 1 ]]; then
    echo "demo: the program did not save the evaluated worksheet $sample" >&2
    exit 1
fi
echo "Worksheet: $sample"
