#!/usr/bin/env bash
# Runs grid_demo as a real X11 window under Xvfb, takes a screenshot of the root window with
# ImageMagick's import and checks the grid on it: the yellow sheet, the grid lines, the header
# strip and the text the notification procedure drew into the cells.
#   grid_demo_xvfb.sh <path of grid_demo>
set -euo pipefail
demo=$1
shot=${GRID_SHOT:-$(mktemp --suffix=.png)}
[ -n "${GRID_SHOT:-}" ] || trap 'rm -f "$shot"' EXIT
# The window (no window manager, so no frame) sits at (100, 120).  Cell (column c, row r) of
# the grid starts at (40 + 64 (c - 1), 22 + 25 (r - 1)) in the window; its grid lines are its
# last pixel column and row (63 and 24 from its start).
ox=100 oy=120
px() { convert "$shot" -format "%[pixel:p{$(($1 + ox)),$(($2 + oy))}]" info:; }
# The screenshot is taken again until the sheet has been painted (cell (3, 4)'s corner is
# yellow), at most 50 times.
xvfb-run -a -s "-screen 0 800x640x24" bash -c "
    QT_QPA_PLATFORM=xcb '$demo' --hold --pos $ox $oy & pid=\$!
    for i in \$(seq 1 50); do sleep 0.2; import -window root '$shot' 2>/dev/null || continue
        [ \"\$(convert '$shot' -format '%[pixel:p{$((168 + 60 + ox)),$((97 + 20 + oy))}]' info:)\" = 'srgb(255,255,0)' ] && break; done
    kill \$pid; wait \$pid || true"
fail() { echo "$1"; exit 1; }
for cell in "104 47" "296 97" "552 372"; do
    set -- $cell
    got=$(px $(($1 + 58)) $(($2 + 20)))
    [ "$got" = "srgb(255,255,0)" ] || fail "cell corner at ($1, $2) is $got, not yellow"
done
got=$(px $((104 + 63)) 55)
[ "$got" = "srgb(192,192,192)" ] || fail "vertical grid line is $got"
got=$(px 120 $((47 + 24)))
[ "$got" = "srgb(192,192,192)" ] || fail "horizontal grid line is $got"
got=$(px 110 5)
[ "$got" != "srgb(255,255,0)" ] || fail "the column header strip shows the sheet colour"
# Text: the darkest red value inside a cell is low where black text was drawn on yellow, and
# inside the header strip where the letters are.
dark() { convert "$shot" -crop "$3x$4+$(($1 + ox))+$(($2 + oy))" +repage -format '%[fx:minima.r < 0.4 ? 1 : 0]' info:; }
[ "$(dark 104 47 60 20)" = 1 ] || fail "no text in cell (2, 2)"
[ "$(dark 296 97 60 20)" = 1 ] || fail "no text in cell (5, 3)"
[ "$(dark 104 0 60 20)" = 1 ] || fail "no letter in the header of column B"
[ "$(dark 0 47 38 20)" = 1 ] || fail "no number in the header of row 2"
echo "grid with headers, lines, yellow sheet and cell texts seen on the X11 screen"
