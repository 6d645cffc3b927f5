#!/usr/bin/env bash
# Fresh machine: installs what is missing, builds, and starts velcu on the embedded demo database.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${VELCU_BUILD_DIR:-$ROOT/build}"
bash "$ROOT/scripts/setup.sh"
bash "$ROOT/scripts/build.sh"
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" && -z "${QT_QPA_PLATFORM:-}" ]]; then
  echo "Nessun display grafico disponibile: velcu è un programma a finestre." >&2
  echo "Per avviarlo comunque su un display virtuale:" >&2
  echo "  xvfb-run -a bash scripts/run.sh" >&2
  exit 2
fi
# The embedded default database: the demo school, created or brought up to date.
"$BUILD/stage/bin/velcu-db" create --demo -q
exec "$BUILD/stage/bin/velcu" "$@"
