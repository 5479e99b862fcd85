# Helpers shared by the demo programs' Xvfb scripts, sourced after they set `work` (the demo's
# report lines in $work/out), `out` (the shot folder), file descriptor 3 (the demo's commands)
# and `fail`.

# The value of key in a report line.
val() { sed -n "s/.* $1=\\(-\\?[0-9]*\\).*/\\1/p" <<< " $2"; }
# The newest report line, after sending a command and waiting for its answer.
ask() {
    local before
    before=$(grep -c '^REPORT' "$work/out" || true)
    echo "$1" >&3
    for _ in $(seq 1 100); do
        [[ $(grep -c '^REPORT' "$work/out" || true) -gt $before ]] && break
        sleep 0.1
    done
    grep '^REPORT' "$work/out" | tail -1
}
shot() { import -window root "$out/$1.png"; }
pixel() { convert "$out/$1.png" -format "%[pixel:p{$2,$3}]" info:; }
# Waits until the shot shows the colour at the point (the screen catches up after an event).
expect_pixel() {   # shot x y colour what
    for _ in $(seq 1 30); do
        shot "$1"
        [[ $(pixel "$1" "$2" "$3") == "$4" ]] && return 0
        sleep 0.2
    done
    fail "$5: $(pixel "$1" "$2" "$3") at ($2, $3), not $4"
}
