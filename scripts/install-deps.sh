#!/usr/bin/env bash
# Installs the Debian packages needed to build and run the program ("run"), or to build
# and test it ("test", the default). Does nothing when everything is already present.
set -euo pipefail

run_packages=(
  build-essential cmake ninja-build
  qt6-base-dev qt6-base-dev-tools libgl-dev
  xvfb xauth fonts-liberation
)
# The suite also checks formatting, and the checks from outside drive the real window
# under X11 and read the clipboard back.
test_packages=(
  "${run_packages[@]}"
  clang-format
  xclip x11-utils xdotool
)

case "${1:-test}" in
  run) packages=("${run_packages[@]}") ;;
  test) packages=("${test_packages[@]}") ;;
  *) echo "usage: $0 [run|test]" >&2; exit 2 ;;
esac

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

sudo_cmd=()
if [ "$(id -u)" -ne 0 ]; then
  sudo_cmd=(sudo)
fi

echo "Installing: ${missing[*]}"
export DEBIAN_FRONTEND=noninteractive
"${sudo_cmd[@]}" apt-get update -q
"${sudo_cmd[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
