# Helpers of the real-window test (and of scripts/readme_images.sh), sourced:
# a virtual X server, nivelo_gui started in $work/start, screenshots, menu
# choices with xdotool.  Every wait is a condition with a deadline; only the
# processes started here are stopped, by their pid.
work=$(mktemp -d) xvfb_pid= gui_pid=
cleanup() {
  [[ -n $gui_pid ]] && kill "$gui_pid" 2>/dev/null && wait "$gui_pid" 2>/dev/null
  [[ -n $xvfb_pid ]] && kill "$xvfb_pid" 2>/dev/null && wait "$xvfb_pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() {
  echo "FAIL: $*"
  [[ -s $work/gui.log ]] && { echo "nivelo_gui printed:"; tail -n 20 "$work/gui.log"; }
  [[ -n $gui_pid ]] && ! kill -0 "$gui_pid" 2>/dev/null && echo "nivelo_gui is no longer running"
  [[ -n $xvfb_pid ]] && ! kill -0 "$xvfb_pid" 2>/dev/null && echo "Xvfb ($DISPLAY) is no longer running"
  [[ -s $work/xvfb.log ]] && { echo "Xvfb printed:"; tail -n 10 "$work/xvfb.log"; }
  [[ -n ${NIVELO_SHOT_DIR:-} ]] && xwd -root -silent | convert xwd:- "$NIVELO_SHOT_DIR/fail.png"; exit 1; }
require_tools() {  # exit 77 (skipped) when one is missing
  for tool in Xvfb xdotool xwd convert; do command -v $tool >/dev/null || { echo "no $tool: skipped"; exit 77; }; done
}
until_ok() {  # until_ok <seconds> <command...>: fails at the deadline
  local deadline=$((SECONDS + $1)); shift
  until "$@" >/dev/null 2>&1; do ((SECONDS < deadline)) || return 1; sleep 0.05; done
}
# The server runs with -noreset: by default an X server resets when its last
# client leaves, and refuses connections meanwhile, so a window started just
# after a check with xdotool got "Can't open display" on a loaded machine.
# Each test takes a display number of its own under a lock it holds until
# it ends, so that servers started side by side never try the same number.
start_xvfb() {
  local n
  for n in $(seq 20 99); do
    exec {xvfb_lock}>"/tmp/nivelo-xvfb-$n.lock" 2>/dev/null || continue
    if flock -n "$xvfb_lock" && [[ ! -e /tmp/.X$n-lock ]]; then
      Xvfb ":$n" -screen 0 1280x1024x24 -nolisten tcp -noreset 2>"$work/xvfb.log" &
      xvfb_pid=$!
      export DISPLAY=:$n
      until_ok 10 eval 'xdotool getdisplaygeometry || ! kill -0 $xvfb_pid'
      kill -0 "$xvfb_pid" 2>/dev/null && xdotool getdisplaygeometry >/dev/null 2>&1 && return
      kill "$xvfb_pid" 2>/dev/null; wait "$xvfb_pid" 2>/dev/null
      xvfb_pid=
    fi
    exec {xvfb_lock}>&-
  done
  fail "Xvfb did not start on any display from :20 to :99"
}
window() { xdotool search --name "$1"; }
# shown <title regex>: that window is on the screen.  Without a window
# manager keys go to the window under the pointer, where the GUI opens its
# dialogs; a window is found before it is mapped, and keys typed in between
# go to the window below.
shown() { xdotool search --onlyvisible --name "$1"; }
start_gui() {  # start_gui <nivelo_gui> [image]
  mkdir -p "$work/start"
  # Remembered settings go to the test's own folder, never the user's.
  (cd "$work/start" && XDG_CONFIG_HOME=$work/config exec "$@") >"$work/gui.log" 2>&1 &
  gui_pid=$!
  until_ok 10 window '^Nivelo gui v1\.0' || { for w in $(xdotool search --name .); do echo "window $w: $(xdotool getwindowname $w)"; done; fail "no window titled 'Nivelo gui v1.0...'"; }
}
# The window's own work folder (one window a test).
work_folder() { local folders=("$work"/start/nivelo_gui_work/*/); echo "${folders[0]}"; }
# wait_run <text>: the run whose command holds <text> has ended and its wait box is gone.
ran() { local log; log=$(work_folder)poil.txt; head -n1 "$log" | grep -qF -- "$1" && grep -q ' done\.$' "$log" && ! window '^Mise'; }
wait_run() { until_ok 60 ran "$1" || fail "no finished run of nivelo with '$1'"; }
screen() { xwd -root -silent | md5sum; }
act() {  # runs the command, then waits until the screen changes
  local before; before=$(screen); "$@"
  until_ok 10 eval '[[ $(screen) != "$before" ]]' || fail "nothing changed on screen after: $*"
}
# A screenshot once the screen has stayed the same for 0.2 s.
settled() { local a; a=$(screen); sleep 0.2; [[ $(screen) == "$a" ]]; }
screenshot() { until_ok 20 settled || fail "screen never settled"; xwd -root -silent | convert xwd:- "$1"; }
pick() {  # pick <x> <y> <key> <presses>: opens the menu or list there, moves, chooses
  act xdotool mousemove "$1" "$2" click 1
  for _ in $(seq "$4"); do xdotool key "$3"; done
  act xdotool key Return
}
menu() { pick "$1" 12 Down "$2"; }  # menu <popup x> <Down presses>
choose_stage() { pick 60 46 "$1" "$2"; }  # choose_stage <Up|Down> <presses>, from the entry shown
quit_by_menu() {
  menu 30 6  # Fichier > Quitter
  until_ok 10 eval '! kill -0 $gui_pid' || fail "still running after Quitter"
  wait "$gui_pid" || fail "exit status $?"
  gui_pid=
}
