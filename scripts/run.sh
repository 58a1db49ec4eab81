#!/usr/bin/env bash
# Installs what is missing, builds, and starts the program.
# Without a display (a headless machine) it starts a virtual X server for it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh run

build_dir=${BUILD_DIR:-build}
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" -DBUILD_TESTING=OFF
cmake --build "$build_dir" -j "$(nproc)" --target pellicor-quastrin

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ]; then
  echo "No display found: starting the program on a virtual X display (:77)."
  Xvfb :77 -screen 0 1280x800x24 -nolisten tcp >/dev/null 2>&1 &
  xvfb_pid=$!
  trap 'kill "$xvfb_pid" 2>/dev/null || true' EXIT
  export DISPLAY=:77
  sleep 1
fi
exec_status=0
"$build_dir/pellicor-quastrin" || exec_status=$?
exit "$exec_status"
