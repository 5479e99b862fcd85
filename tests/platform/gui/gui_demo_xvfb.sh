#!/usr/bin/env bash
# Runs gui_demo as a real X11 window under Xvfb, takes a screenshot of the root window with
# ImageMagick's import and checks that the red line shows where the window was placed.
#   gui_demo_xvfb.sh <path of gui_demo>
set -euo pipefail
demo=$1
shot=$(mktemp --suffix=.png)
trap 'rm -f "$shot"' EXIT
xvfb-run -a -s "-screen 0 640x480x24" bash -c "
    QT_QPA_PLATFORM=xcb '$demo' --hold --pos 100 120 & pid=\$!
    for i in \$(seq 1 50); do sleep 0.2; import -window root '$shot' 2>/dev/null || continue
        [ \"\$(convert '$shot' -format '%[pixel:p{150,170}]' info:)\" = 'srgb(255,0,0)' ] && break; done
    kill \$pid; wait \$pid || true"
# The window (no window manager, so no frame) sits at (100, 120); its line runs at y = 50 from
# x = 10 to 300, so at screen y = 170 from x = 110 to 400.
for x in 110 150 250 400; do
    got=$(convert "$shot" -format "%[pixel:p{$x,170}]" info:)
    [ "$got" = "srgb(255,0,0)" ] || { echo "pixel ($x, 170) is $got, not red"; exit 1; }
done
got=$(convert "$shot" -format "%[pixel:p{50,170}]" info:)
[ "$got" != "srgb(255,0,0)" ] || { echo "red outside the window"; exit 1; }
echo "red line seen on the X11 screen"
