# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by the scripts that run tavrix.exe under Wine on Xvfb.
# wine_session <zip> makes a scratch folder (`work`), a display and a fresh
# Wine prefix, unzips the program into a folder with spaces (`program`) and
# makes a game folder (`game`) whose report lists Tavrix's files, stored as
# the game folder in the registry under `key`. start_tavrix, start_station
# <address> and exit_tavrix then drive the window as a user does. The caller
# defines check <what> <command...> and step <text>. Processes started go
# into `pids` and are ended, and the scratch folder removed, on exit.
. scripts/x-server.sh
pids=()
work=""
cleanup() {
  local pid
  wineserver -k 2>/dev/null || true
  for pid in "${pids[@]}"; do
    kill "$pid" 2>/dev/null || true
  done
  for pid in "${pids[@]}"; do
    wait "$pid" 2>/dev/null || true
  done
  [ -z "$work" ] || rm -rf "$work"
}
trap cleanup EXIT

wine_session() {
  local zip=$1
  work=$(mktemp -d -t tavrix-wine.XXXXXX)
  x_server 1024x768x24
  export WINEPREFIX=$work/wine WINEDEBUG=-all
  # Wine reads the keyboard layout from the X server; Xvfb's bare keymap made
  # it type "X" for "0". A US layout gives every character of an address.
  for _ in $(seq 50); do
    setxkbmap -layout us 2>/dev/null && break
    sleep 0.1
  done
  step "making the Wine prefix"
  wineboot -i >/dev/null 2>&1
  drive=$WINEPREFIX/drive_c

  program="$drive/Program Files/Tavrix Test"
  mkdir -p "$program"
  unzip -q "$zip" -d "$work/unzipped"
  cp -r "$work/unzipped"/*/. "$program/"
  game=$drive/Games/GTA3/mp3
  mkdir -p "$game"
  # The game's report as Tavrix leaves it once the folder has been chosen.
  printf '%s\r\n' "MP3 Report File" "" \
    '"." - not an MP3 or supported MP3 type' \
    '".." - not an MP3 or supported MP3 type' \
    '"MP3Report.txt" - not an MP3 or supported MP3 type' \
    '"Tavrix_00.mp3" - OK' '"Tavrix_01.mp3" - OK' "" \
    "TOTAL SUPPORTED MP3s: 2" >"$game/MP3Report.txt"

  key='HKCU\Software\VB and VBA Program Settings\TAVRIX'
  # The game folder as an earlier program stored it; the buffer folder is
  # left to its default.
  wine reg add "$key\\Settings" /v RadioPath /t REG_SZ /d 'C:\Games\GTA3\mp3\' /f >/dev/null
  wine reg add "$key\\Settings" /v DiscoveryAsked /t REG_SZ /d 1 /f >/dev/null
}

# Starts tavrix.exe and waits for its window (in `window`).
start_tavrix() {
  (cd "$program" && exec wine tavrix.exe >>"$work/tavrix.out" 2>&1) &
  tavrix=$!
  pids+=("$tavrix")
  window=""
  for _ in $(seq 120); do
    window=$(xdotool search --name '^Tavrix$' 2>/dev/null | head -n1 || true)
    [ -n "$window" ] && break
    sleep 1
  done
  check "the main window shows" test -n "$window"
  [ -n "$window" ] || exit 1
  sleep 3
}

# Types the address over the address box's text (the box has the focus at
# start and holds the last station) and presses Enter, which starts
# buffering. Keys go through XTEST to the focused window: Wine ignores events
# sent to a window directly.
start_station() {
  xdotool windowfocus --sync "$window" 2>/dev/null || true
  xdotool key ctrl+a
  xdotool type --delay 30 "$1"
  xdotool key Return
}

# "Cancel" (the start button, which has the focus while buffering), then
# "Exit", the next control.
exit_tavrix() {
  xdotool windowfocus --sync "$window" 2>/dev/null || true
  xdotool key space
  sleep 2
  xdotool key Tab space
  for _ in $(seq 30); do
    kill -0 "$tavrix" 2>/dev/null || break
    sleep 1
  done
  check "Exit ends the program" test ! -e "/proc/$tavrix"
}
