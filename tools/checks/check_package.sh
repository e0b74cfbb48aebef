#!/usr/bin/env bash
# The installed program, as a package puts it: check_package.sh BUILD_DIR gui|nogui [PACKAGE.deb]
# Installs BUILD_DIR into a temporary root with `cmake --install --prefix` (or unpacks
# the Debian package with `dpkg-deb -x` when one is given), checks the installed files,
# then starts `lumivane --headless` from there for a moment and stops it with SIGTERM:
# it must have started, and its exit sequence must have run.
set -euo pipefail
build=${1:?build folder}
kind=${2:-gui}
deb=${3:-}
root=$(mktemp -d)
pid=
cleanup() {
  if [ -n "$pid" ]; then kill -KILL "$pid" 2>/dev/null || true; fi
  rm -rf "$root"
}
trap cleanup EXIT
fail() { echo "package check: $*" >&2; exit 1; }

if [ -n "$deb" ]; then
  dpkg-deb -x "$deb" "$root"
  prefix="$root/usr"
  dpkg-deb -f "$deb" Package | grep -qx lumivane || fail "package name is not lumivane"
  # Without them the "?" button finds no viewer for the guide.
  dpkg-deb -f "$deb" Recommends | grep -q "xdg-utils" || fail "the package does not recommend xdg-utils"
  dpkg-deb -f "$deb" Recommends | grep -q "pdf-viewer" || fail "the package does not recommend a PDF viewer"
else
  prefix="$root/usr"
  cmake --install "$build" --prefix "$prefix" >/dev/null
fi

expect() { [ -s "$prefix/$1" ] || fail "missing $1"; }
expect bin/lumivane
[ -x "$prefix/bin/lumivane" ] || fail "bin/lumivane is not executable"
expect lib/systemd/system/lumivane.service
expect share/doc/lumivane/guide.en.md
expect share/doc/lumivane/guide.fr.md
if [ "$kind" = gui ]; then
  expect share/doc/lumivane/Lumivane.pdf
  head -c 5 "$prefix/share/doc/lumivane/Lumivane.pdf" | grep -q '%PDF-' || fail "Lumivane.pdf is no PDF"
  expect share/applications/lumivane.desktop
  expect share/icons/hicolor/scalable/apps/lumivane.svg
  grep -qx 'Exec=lumivane' "$prefix/share/applications/lumivane.desktop" || fail "desktop entry does not run lumivane"
  grep -qx 'Icon=lumivane' "$prefix/share/applications/lumivane.desktop" || fail "desktop entry names no icon"
  if command -v desktop-file-validate >/dev/null 2>&1; then
    desktop-file-validate "$prefix/share/applications/lumivane.desktop" || fail "invalid desktop entry"
  fi
fi
unit="$prefix/lib/systemd/system/lumivane.service"
for line in 'ExecStart=/usr/bin/lumivane --headless --direct --data-dir /var/lib/lumivane' \
            'StateDirectory=lumivane' 'Restart=on-failure' 'KillSignal=SIGTERM'; do
  grep -qxF "$line" "$unit" || fail "the unit lacks: $line"
done

# The installed program, headless, on an empty data folder.
data="$root/data"
mkdir -p "$data"
out="$root/out.txt"
env -u DISPLAY -u WAYLAND_DISPLAY "$prefix/bin/lumivane" --headless --data-dir "$data" --lang en --force \
  > "$out" 2>&1 &
pid=$!
for _ in $(seq 100); do
  grep -q '^\[status\] ' "$out" && break
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
grep -q '^\[status\] box1 undefined' "$out" || { cat "$out" >&2; fail "no status line from the installed program"; }
kill -TERM "$pid"
status=0
wait "$pid" || status=$?
pid=
[ "$status" = 0 ] || { cat "$out" >&2; fail "exit status $status after SIGTERM"; }
grep -q 'Sortie Lumivane' "$data/logfiles/Lumivane.log" || fail "the exit sequence did not run"
[ -s "$data/Lumivane.ini" ] || fail "no settings written"
echo "package check: installed files and a headless start from $prefix are fine"
