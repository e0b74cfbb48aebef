#!/usr/bin/env bash
# Demo: two simulated decoders and a simulated timing application on loopback, a
# simulated USB TimingBox on a pseudo-terminal, a chip table for the simulated runners,
# an FTP server for the exports' uploads, and Lumivane acquiring from them until Ctrl-C.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
# LUMIVANE_BUILD_DIR: another build folder than build/ (e.g. build-gui).
build="${LUMIVANE_BUILD_DIR:-$here/build}"
sim="$build/lumivane-sim"
data="$build/demo-data"
runners=300

rm -rf "$data"
mkdir -p "$data"

# Chip table: bib n wears chip DEMO<n>.
{
  echo "# Demo chip table: bib chip"
  for ((bib = 1; bib <= runners; bib++)); do printf '%d DEMO%05d\n' "$bib" "$bib"; done
} > "$data/TarvexTable.dtb"

# start_sim runs in a command substitution (a subshell): the simulators' ids go
# through a file so that the cleanup sees them.
pidfile="$data/simulators.pid"
cleanup() {
  if [ -f "$pidfile" ]; then
    while read -r p; do kill "$p" 2>/dev/null || true; done < "$pidfile"
  fi
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# Starts a simulator and prints the port it listens on.
start_sim() {
  local out
  out=$(mktemp)
  "$sim" "$@" --port 0 > "$out" &
  echo $! >> "$pidfile"
  for _ in $(seq 50); do
    if grep -q '^port ' "$out"; then break; fi
    sleep 0.1
  done
  awk '/^port / {print $2; exit}' "$out"
}

# A loopback FTP server for the exports' uploads: folder $data/ftp-root, user "demo".
start_ftp() {
  local out
  out=$(mktemp)
  /usr/bin/python3 "$here/tools/sim/ftp_server.py" --root "$data/ftp-root" --user demo --password demo \
    --port 0 > "$out" 2> "$data/ftp-server.log" &
  echo $! >> "$pidfile"
  for _ in $(seq 50); do
    if grep -q '^port ' "$out"; then break; fi
    sleep 0.1
  done
  awk '/^port / {print $2; exit}' "$out"
}

port1=$(start_sim decoder --chips "$data/TarvexTable.dtb" --runners "$runners" --rate 5 --repeats 3 --spread 20 --seed 1 --date today)
port2=$(start_sim decoder --chips "$data/TarvexTable.dtb" --runners "$runners" --rate 5 --repeats 3 --spread 20 --seed 2 --date today)
portq=$(start_sim timingapp --layout gm05 --field "$runners")
mkdir -p "$data/ftp-root/results"
portf=$(start_ftp)
if [ -n "$portf" ]; then
  # Declared for the exports (servers list) and as the detections export's server.
  printf 'Demo FTP\t127.0.0.1:%s\tdemo\tdemo\tresults\n' "$portf" > "$data/FtpServers.dat"
  chmod 600 "$data/FtpServers.dat"
else
  echo "No FTP server for the demo (python3-pyftpdlib missing?): uploads will fail" >&2
fi

# The USB TimingBox answers on a pseudo-terminal whose path it prints ("device /dev/pts/N").
usbout="$data/usbbox.out"
"$sim" usbbox --chips "$data/TarvexTable.dtb" --rate 1 --stored 20 --seed 3 > "$usbout" &
echo $! >> "$pidfile"
for _ in $(seq 50); do
  if grep -q '^device ' "$usbout"; then break; fi
  sleep 0.1
done
usbdevice=$(awk '/^device / {print $2; exit}' "$usbout")

cat > "$data/Lumivane.ini" <<INI
[Settings]
BLogDetections=1
BScrollDetections=1
[DirectConnection]
Host=127.0.0.1
Port=$portq
ReconnectSeconds=10
[TarvexBoxes]
BoxHost0=127.0.0.1
BoxPort0=$port1
BoxIdDetector0=31
BoxHost1=127.0.0.1
BoxPort1=$port2
BoxIdDetector1=31
BoxHost2=$usbdevice
BoxPort2=19200
BoxIdDetector2=31
[FtpSettings]
Label=Demo FTP
Site=127.0.0.1:${portf:-21}
User=demo
Password=demo
Directory=results
[ExportDetectionLines]
Delta=00:00:30
ExportPath=$data/exports
GenericFilename=demo
BZip=1
BFtpExport=1
FtpServersList=Demo FTP
[ExportDetectionLines.BackgroundExport]
BExport=1
ExportPeriodMinutes=1
INI
mkdir -p "$data/exports"
chmod 600 "$data/Lumivane.ini"

echo "Decoders on ports $port1 and $port2, USB TimingBox on $usbdevice, timing application on $portq; data in $data"
if [ -n "$portf" ]; then echo "FTP server \"Demo FTP\" on port $portf: uploads arrive in $data/ftp-root/results"; fi
echo "Background export every minute: $data/exports/demo.zip, then sent to \"Demo FTP\""
mode=(--headless --direct)
# The window needs a display, or a Qt platform that needs none (offscreen, for pictures).
# It opens connected to the simulated boxes and timing application: detections show
# within seconds.
if [ -n "${DISPLAY:-}${WAYLAND_DISPLAY:-}${QT_QPA_PLATFORM:-}" ] && [ "${DEMO_HEADLESS:-0}" != 1 ]; then mode=(--connect); fi
"$build/lumivane" "${mode[@]}" --data-dir "$data" --force "$@"
