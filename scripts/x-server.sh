# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by scripts that run programs on an X server of their own:
# x_server <width>x<height>x<depth> starts Xvfb on a display it picks itself,
# waits until it answers and exports DISPLAY; its process is added to the
# caller's `pids` array. The server keeps its state when its last client
# leaves (-noreset): a program started just as another client left would
# otherwise meet the server in the middle of its reset.
x_server() {
  local geometry=$1 number_file
  number_file=$(mktemp)
  Xvfb -displayfd 3 -screen 0 "$geometry" -nolisten tcp -noreset \
    3>"$number_file" >/dev/null 2>&1 &
  pids+=($!)
  for _ in $(seq 200); do
    [ -s "$number_file" ] && break
    sleep 0.05
  done
  if [ ! -s "$number_file" ]; then
    rm -f "$number_file"
    echo "Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=:$(cat "$number_file")
  rm -f "$number_file"
  for _ in $(seq 100); do
    xdpyinfo >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  echo "Xvfb on $DISPLAY does not answer" >&2
  return 1
}
