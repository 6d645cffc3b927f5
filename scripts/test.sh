#!/usr/bin/env bash
# Fresh machine: installs what is missing, builds, starts a throw-away PostgreSQL
# on loopback and runs the whole suite (SQLite and PostgreSQL) headless.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${VELCU_BUILD_DIR:-$ROOT/build}"
bash "$ROOT/scripts/setup.sh"
bash "$ROOT/scripts/build.sh"

source "$ROOT/scripts/pg-test.sh"
pg_test_start
trap pg_test_stop EXIT

export QT_QPA_PLATFORM=offscreen
cd "$BUILD"
ctest --output-on-failure -j "${VELCU_JOBS:-2}" "$@"
