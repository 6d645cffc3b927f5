#!/usr/bin/env bash
# Configures (once) and builds velcu into build/, staging the installation root in build/stage.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${VELCU_BUILD_DIR:-$ROOT/build}"
if [[ ! -f "$BUILD/build.ninja" ]]; then
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo
fi
cmake --build "$BUILD" -j "${VELCU_JOBS:-2}"
