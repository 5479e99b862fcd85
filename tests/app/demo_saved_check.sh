#!/usr/bin/env bash
# The run script's demo with its saved worksheet checked: the program saves the evaluated
# worksheet with its own Save, the file loads again (worksheet_outline), and every input of the
# sample has its result after it: an output paragraph (style 11, the fresh ini file's typeset
# results) holding a math element, the first one "3".
#   demo_saved_check.sh <build folder> <worksheet_outline>
set -euo pipefail
build=$1
outline=$2
here=$(cd "$(dirname "$0")" && pwd)
check=$(mktemp)
trap 'rm -f "$check"' EXIT
inputs=$(grep -o 'KLVTEXT' "$here/../../app/demo/sample.kws" | wc -l)
# Success when the saved worksheet loads and holds a result for every input.
cat > "$check" <<CHECK
#!/usr/bin/env bash
tree=\$("$outline" "\$1") || exit 1
echo "\$tree"
results=\$(grep -A1 '^ *PARA 11\$' <<< "\$tree" | grep -c '^ *MATH ..*' || true)
echo "results: \$results of $inputs"
[[ \$results -eq $inputs ]] && grep -q '^ *MATH 3\$' <<< "\$tree"
CHECK
chmod +x "$check"
KELVO_DEMO_SAVED_CHECK=$check bash "$here/../../scripts/demo.sh" "$build"
cat "$build/demo/saved_check.log"
echo "The saved worksheet loads with every result"
