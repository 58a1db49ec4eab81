#!/usr/bin/env bash
# Fails when a C++ source of the project differs from what the committed .clang-format
# makes of it.
set -euo pipefail
cd "$(dirname "$0")/.."
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
