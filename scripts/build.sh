#!/usr/bin/env bash
# Configures (once) and builds velcu into build/, staging the installation root in build/stage.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${VELCU_BUILD_DIR:-$ROOT/build}"
if [[ ! -f "$BUILD/build.ninja" ]]; then
  # ccache, when the machine has it, makes a fresh clone's build quick.
  launcher=()
  if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S "$ROOT" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo "${launcher[@]}"
fi
# Qt's moc step does not notice headers added since the last build (the source
# lists are globbed): when the set of headers changed, make it look again.
headers="$(cd "$ROOT" && find platform tor rag src tests tools bench -name '*.h' 2>/dev/null | sort | md5sum)"
if [[ "$headers" != "$(cat "$BUILD/.velcu-headers" 2>/dev/null)" ]]; then
  find "$BUILD" -path '*_autogen/timestamp' -delete 2>/dev/null || true
  echo "$headers" > "$BUILD/.velcu-headers"
fi
cmake --build "$BUILD" -j "${VELCU_JOBS:-2}"
