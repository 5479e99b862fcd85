#!/usr/bin/env bash
# The run script's demo with its saved worksheet checked: the program saves the evaluated
# worksheet with its own Save, and the file, loaded again (worksheet_outline), holds an output
# paragraph after each input.
#   demo_saved_check.sh <build folder> <worksheet_outline>
set -euo pipefail
build=$1
outline=$2
here=$(cd "$(dirname "$0")" && pwd)
check=$(mktemp)
trap 'rm -f "$check"' EXIT
# Success when the loaded worksheet has as many output paragraphs (style 11) as inputs.
cat > "$check" <<CHECK
#!/usr/bin/env bash
tree=\$("$outline" "\$1") || exit 1
outputs=\$(grep -c '^ *PARA 11\$' <<< "\$tree" || true)
echo "\$tree"
[[ \$outputs -ge 3 ]]
CHECK
chmod +x "$check"
KELVO_DEMO_SAVED_CHECK=$check bash "$here/../../scripts/demo.sh" "$build"
echo "The saved worksheet loads with its outputs"
