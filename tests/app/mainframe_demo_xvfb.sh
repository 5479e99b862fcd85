#!/usr/bin/env bash
# Runs mainframe_demo as a real X11 program under Xvfb and checks its report: with the tool
# box shown, the tool box, the document area and the status bar lie in that order from top to
# bottom with two worksheet windows; with the tool box hidden the document area moves up.  The
# two screenshots stay in the artefact folder.
#   mainframe_demo_xvfb.sh <path of mainframe_demo> <artefact folder>
set -euo pipefail
demo=$1
out=$2
if [[ -z ${MAINFRAME_UNDER_XVFB:-} ]]; then
    mkdir -p "$out"
    MAINFRAME_UNDER_XVFB=1 exec xvfb-run -a -s "-screen 0 1280x1024x24" bash "$0" "$demo" "$out"
fi
config=$(mktemp -d)
trap 'rm -rf "$config"' EXIT
# The exit status is not the report's: a sanitizer build may add its leak check at exit.
report=$(XDG_CONFIG_HOME=$config WKELVO_TEST_SHOTS=$out QT_QPA_PLATFORM=xcb "$demo" -nosplash 2>/dev/null || true)
echo "$report"
with=$(grep '^frame_with_tool_box ' <<< "$report")
without=$(grep '^frame_without_tool_box ' <<< "$report")
val() { sed -n "s/.* $1=\\(-\\?[0-9]*\\).*/\\1/p" <<< "$2"; }
area_top() { sed -n 's/.* area=\(-\?[0-9]*\)\.\..*/\1/p' <<< "$1"; }
area_bottom() { sed -n 's/.* area=-\?[0-9]*\.\.\(-\?[0-9]*\) .*/\1/p' <<< "$1"; }
fail() { echo "FAIL: $*"; exit 1; }
[[ $(val windows "$with") == 2 ]] || fail "two worksheet windows expected"
[[ $(val saved "$with") == 1 && $(val saved "$without") == 1 ]] || fail "screenshots not saved"
(( $(val tool "$with") > 0 )) || fail "the tool box shows"
(( $(area_top "$with") >= $(val tool "$with") - 1 )) || fail "the document area lies under the tool box"
(( $(area_bottom "$with") < $(val status "$with") )) || fail "the status bar lies under the document area"
[[ $(val tool "$without") == -1 ]] || fail "the tool box is hidden"
(( $(area_top "$without") < $(area_top "$with") )) || fail "without the tool box the document area moves up"
echo "stacked: tool box, documents, status bar; shots in $out"
