# Helpers of the real-window tests, sourced by them: a virtual X server on a
# free display, nivelo_gui started in a scratch start directory, screenshots,
# menu choices with xdotool.  Only the processes started here are stopped, by
# their pid.  NIVELO_SHOT_DIR=<dir> keeps every screenshot there as PNG.
#
# Layout for a 1280 x 1024 screen: a 25-pixel menu bar; the surface from
# y = 25, the views 531 wide from x = 200 and x = 733.

work=$(mktemp -d)
xvfb_pid=
gui_pid=
cleanup() {
  [[ -n $gui_pid ]] && kill "$gui_pid" 2>/dev/null && wait "$gui_pid" 2>/dev/null
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT

fail() { echo "FAIL: $*"; exit 1; }

require_tools() {  # exit 77 (skipped) when one is missing
  for tool in Xvfb xdotool xwd convert python3 "$@"; do
    command -v "$tool" >/dev/null || { echo "missing $tool: skipped"; exit 77; }
  done
}

start_xvfb() {
  Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
  xvfb_pid=$!
  for _ in $(seq 100); do [[ -s $work/display ]] && break; sleep 0.1; done
  [[ -s $work/display ]] || fail "Xvfb did not start"
  export DISPLAY=:$(head -n1 "$work/display")
}

# start_gui <nivelo_gui> [args...]: runs it in $work/start, waits for its window.
start_gui() {
  local gui=$1
  shift
  mkdir -p "$work/start"
  (cd "$work/start" && exec "$gui" "$@") >"$work/gui.log" 2>&1 &
  gui_pid=$!
  local window=
  for _ in $(seq 100); do
    window=$(xdotool search --name '^Nivelo gui v1\.0' 2>/dev/null | head -n1)
    [[ -n $window ]] && break
    sleep 0.1
  done
  [[ -n $window ]] || fail "no window titled 'Nivelo gui v1.0...'"
}

# wait_run <text>: waits until the run whose command holds <text> has ended
# (its log in the work directory ends with "done.") and the wait box is gone.
wait_run() {
  local log=$work/start/nivelo_gui_work/poil.txt
  for _ in $(seq 300); do
    if head -n1 "$log" 2>/dev/null | grep -qF -- "$1" && grep -q ' done\.$' "$log" &&
       ! xdotool search --name '^Mise' >/dev/null 2>&1; then
      return 0
    fi
    sleep 0.1
  done
  fail "no finished run of nivelo with '$1'"
}

# Waits are conditions with a deadline: the screen is read (as a checksum)
# until it shows what is awaited.
screen_sum() { xwd -root -silent | md5sum; }

# act <command...>: runs it and waits until the screen changes.
act() {
  local before
  before=$(screen_sum)
  "$@"
  for _ in $(seq 200); do [[ $(screen_sum) != "$before" ]] && return 0; sleep 0.02; done
  fail "nothing changed on screen after: $*"
}

# settle: waits until two reads in a row show the same screen.
settle() {
  local a b
  a=$(screen_sum)
  for _ in $(seq 200); do
    sleep 0.02
    b=$(screen_sum)
    [[ $a == "$b" ]] && return 0
    a=$b
  done
  fail "screen never settled"
}

shots=0
screenshot() {  # screenshot <file.ppm>
  settle
  xwd -root -silent | convert xwd:- "$1" || fail "screenshot"
  # On a loaded machine the window may still be drawing: shoot again until
  # two shots agree.
  for _ in $(seq 20); do
    sleep 0.3
    xwd -root -silent | convert xwd:- "$work/again.ppm" || fail "screenshot"
    cmp -s "$1" "$work/again.ppm" && break
    mv "$work/again.ppm" "$1"
  done
  shots=$((shots + 1))
  [[ -n ${NIVELO_SHOT_DIR:-} ]] && convert "$1" "$NIVELO_SHOT_DIR/$(basename "$1" .ppm).png"
  return 0
}

menu() {  # popup x, number of Down presses
  act xdotool mousemove "$1" 12 click 1
  for _ in $(seq "$2"); do xdotool key Down; done
  act xdotool key Return
}

# choose_stage <Up|Down> <presses>: the stage chooser's list opens on the
# entry shown.
choose_stage() {
  act xdotool mousemove 60 46 click 1
  for _ in $(seq "$2"); do xdotool key "$1"; done
  act xdotool key Return
}

quit_by_menu() {
  menu 30 5  # Fichier > Quitter
  for _ in $(seq 50); do kill -0 "$gui_pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$gui_pid" 2>/dev/null && fail "still running after Quitter"
  wait "$gui_pid"
  local status=$?
  gui_pid=
  ((status == 0)) || fail "exit status $status"
}
