#!/usr/bin/env bash
# The run script's demo with its saved worksheet checked: the program saves the evaluated
# worksheet with its own Save, and the file loads again (worksheet_outline).  Inputs and outputs
# reach the file once the paragraph and input records are written; until then the outline shows
# the groups without them, and the count of output paragraphs (style 11) is printed, not required.
#   demo_saved_check.sh <build folder> <worksheet_outline>
set -euo pipefail
build=$1
outline=$2
here=$(cd "$(dirname "$0")" && pwd)
check=$(mktemp)
trap 'rm -f "$check"' EXIT
# Success when the saved worksheet loads.
cat > "$check" <<CHECK
#!/usr/bin/env bash
tree=\$("$outline" "\$1") || exit 1
echo "\$tree"
echo "output paragraphs: \$(grep -c '^ *PARA 11\$' <<< "\$tree" || true)"
CHECK
chmod +x "$check"
KELVO_DEMO_SAVED_CHECK=$check bash "$here/../../scripts/demo.sh" "$build"
cat "$build/demo/saved_check.log"
echo "The saved worksheet loads"
