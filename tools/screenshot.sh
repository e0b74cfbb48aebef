#!/usr/bin/env bash
# A picture of the main window during the demo (simulated decoders and timing
# application): ./tools/screenshot.sh [FILE] (default docs/main-window.png).
# Runs without a display: on Xvfb when it is installed, else on Qt's offscreen
# platform. LUMIVANE_LANG=en gives the English window; SHOT_DELAY the seconds of
# acquisition before the picture (default 12); SHOT_SCREEN the Xvfb screen (default
# 1600x1000; 1366x768 shows the window as a small laptop opens it).
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$here/docs/main-window.png}
case "$out" in /*) ;; *) out="$PWD/$out" ;; esac
mkdir -p "$(dirname "$out")"

# LUMIVANE_BUILD_DIR: another build folder than build/ (e.g. build-gui).
build="${LUMIVANE_BUILD_DIR:-$here/build}"
export LUMIVANE_BUILD_DIR="$build"
if [ ! -x "$build/lumivane" ] || [ ! -x "$build/lumivane-sim" ]; then
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" -j 2 --target lumivane lumivane-sim
fi

args=(--direct --lang "${LUMIVANE_LANG:-fr}" --screenshot "$out" --screenshot-delay "${SHOT_DELAY:-12}")
if command -v xvfb-run >/dev/null 2>&1; then
  QT_QPA_PLATFORM=xcb xvfb-run -a -s "-screen 0 ${SHOT_SCREEN:-1600x1000}x24" "$here/tools/demo.sh" "${args[@]}"
else
  QT_QPA_PLATFORM=offscreen "$here/tools/demo.sh" "${args[@]}"
fi
test -s "$out" && echo "main window picture: $out"
