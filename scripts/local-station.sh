# SPDX-License-Identifier: GPL-3.0-or-later
# Sourced by scripts that need a local radio station: local_station <folder>
# [kbit/s] makes three plucked tunes of about a minute each as MP3s of that
# bit rate (128 when not given)
# (tune0.mp3 to tune2.mp3, each with its title), starts Icecast 2 on a free
# port of 127.0.0.1 (source password "tavrix-demo") and ezstream playing them
# in a loop on /stream, and waits until the station is on air. Both
# processes are added to the caller's `pids` array; `port` and `address`
# (http://127.0.0.1:<port>) are set. The folder's parent must
# be a folder of the caller's own (as root it is opened to Icecast's user).
local_station() {
  station=$1
  local kbps=${2:-128}
  mkdir -p "$station/log"
  # Icecast refuses to run as root: as root it drops to nobody/nogroup after
  # binding its port, and then still has to write its logs.
  security=""
  if [ "$(id -u)" -eq 0 ]; then
    chmod 755 "$(dirname "$station")"
    chown nobody:nogroup "$station/log"
    security="<changeowner><user>nobody</user><group>nogroup</group></changeowner>"
  fi

  # A free port on the loopback interface.
  port=""
  for candidate in $(seq 18400 18499); do
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$candidate") 2>/dev/null; then
      port=$candidate
      break
    fi
  done
  [ -n "$port" ] || { echo "local station: no free port between 18400 and 18499" >&2; exit 1; }
  address="http://127.0.0.1:$port"

  echo "== Making the station's music (three plucked tunes, about a minute each)"
  # A pentatonic phrase, in semitones from A4, plucked, half a second a note;
  # each tune plays it in its own key and speed, and carries its own title in
  # its ID3 tag, which the station sends as the stream title when it begins.
  notes=(-9 -5 -2 0 3 0 -2 -5 -7 -2 0 3 7 3 0 -2 -9 -5 0 3 5 3 0 -5 -7 -5 -2 0 -2 -5 -9 -9)
  titles=("Harbour Lights" "Night Drive" "Sunset Boulevard")
  shifts=(0 5 -3)
  lengths=(0.5 0.4 0.6)
  for tune in 0 1 2; do
    parts=()
    for i in "${!notes[@]}"; do
      part=$(printf '%s/note%02d.wav' "$station" "$i")
      sox -n -r 44100 -c 2 -b 16 "$part" synth "${lengths[$tune]}" \
        pluck "%$((notes[i] + shifts[tune]))" fade q 0.005 "${lengths[$tune]}" 0.35 gain -8
      parts+=("$part")
    done
    sox "${parts[@]}" "$station/phrase.wav" reverb 40
    sox "$station/phrase.wav" "$station/tune.wav" repeat 3
    lame --quiet -b "$kbps" --cbr --ta "Tavrix Demo Band" --tt "${titles[$tune]}" \
      "$station/tune.wav" "$station/tune$tune.mp3"
    echo "$station/tune$tune.mp3" >>"$station/playlist.txt"
    rm -f "$station"/*.wav
  done

  cat >"$station/icecast.xml" <<EOF
<icecast>
  <location>Tavrix demo</location>
  <admin>demo@localhost</admin>
  <hostname>127.0.0.1</hostname>
  <limits>
    <clients>10</clients>
    <sources>2</sources>
  </limits>
  <authentication>
    <source-password>tavrix-demo</source-password>
    <admin-user>admin</admin-user>
    <admin-password>tavrix-demo</admin-password>
  </authentication>
  <listen-socket>
    <port>$port</port>
    <bind-address>127.0.0.1</bind-address>
  </listen-socket>
  <fileserve>0</fileserve>
  <paths>
    <basedir>$station</basedir>
    <logdir>$station/log</logdir>
    <webroot>/usr/share/icecast2/web</webroot>
    <adminroot>/usr/share/icecast2/admin</adminroot>
    <alias source="/" destination="/stream"/>
  </paths>
  <logging>
    <accesslog>access.log</accesslog>
    <errorlog>error.log</errorlog>
    <loglevel>3</loglevel>
  </logging>
  <security>
    <chroot>0</chroot>
    $security
  </security>
</icecast>
EOF

  cat >"$station/ezstream.xml" <<EOF
<ezstream>
  <servers>
    <server>
      <protocol>HTTP</protocol>
      <hostname>127.0.0.1</hostname>
      <port>$port</port>
      <password>tavrix-demo</password>
      <tls>None</tls>
    </server>
  </servers>
  <streams>
    <stream>
      <mountpoint>/stream</mountpoint>
      <format>MP3</format>
      <public>No</public>
      <stream_name>Tavrix Demo Station</stream_name>
      <stream_genre>Ambient</stream_genre>
      <stream_url>$address/</stream_url>
      <stream_description>Plucked tunes from 127.0.0.1</stream_description>
      <stream_bitrate>$kbps</stream_bitrate>
      <stream_samplerate>44100</stream_samplerate>
      <stream_channels>2</stream_channels>
    </stream>
  </streams>
  <intakes>
    <intake>
      <type>playlist</type>
      <filename>$station/playlist.txt</filename>
      <stream_once>No</stream_once>
    </intake>
  </intakes>
</ezstream>
EOF
  # ezstream will not read a configuration holding a password that others can read.
  chmod 600 "$station/ezstream.xml"

  echo "== Starting the station at $address"
  icecast2 -c "$station/icecast.xml" >"$station/icecast.out" 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do
    (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null && break
    sleep 0.1
  done
  ezstream -q -c "$station/ezstream.xml" >"$station/ezstream.out" 2>&1 &
  pids+=($!)
  live=""
  for _ in $(seq 50); do
    code=$(curl -s -m 1 -o /dev/null -w '%{http_code}' "$address/" || true)
    if [ "$code" = 200 ]; then
      live=yes
      break
    fi
    sleep 0.2
  done
  if [ -z "$live" ]; then
    echo "local station: the station did not go on air" >&2
    cat "$station/icecast.out" "$station/ezstream.out" "$station/log/error.log" >&2 2>/dev/null || true
    exit 1
  fi
}
