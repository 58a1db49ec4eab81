#!/usr/bin/env bash
# Installs what is missing, builds, and runs the whole test suite headless.
#   BUILD_DIR   build folder (default: build)
#   BUILD_TYPE  CMake build type (default: RelWithDebInfo)
#   CMAKE_ARGS  extra CMake arguments, e.g. "-DPQ_WERROR=ON -DPQ_SANITIZE=ON"
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/install-deps.sh test

build_dir=${BUILD_DIR:-build}
# shellcheck disable=SC2086
cmake -S . -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE="${BUILD_TYPE:-RelWithDebInfo}" -DBUILD_TESTING=ON ${CMAKE_ARGS:-}
cmake --build "$build_dir" -j "$(nproc)"
QT_QPA_PLATFORM=offscreen ctest --test-dir "$build_dir" --output-on-failure --no-tests=error -j "$(nproc)"
