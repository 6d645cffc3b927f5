#!/usr/bin/env bash
# Builds the Debian package velcu_<version>_amd64.deb (into build/package/)
# from the install rules of the build (CPack), and checks it with lintian:
# an error stops the script. A distribution builds with its own software
# producer's code: VELCU_CF_PRODUTTORE=<codice fiscale> bash scripts/package.sh
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${VELCU_BUILD_DIR:-$ROOT/build}"
# dpkg-shlibdeps (dpkg-dev) names the libraries' packages, file and binutils
# strip the programs, lintian checks the result.
bash "$ROOT/scripts/setup.sh" dpkg-dev file binutils lintian
bash "$ROOT/scripts/build.sh"
if [[ -n "${VELCU_CF_PRODUTTORE:-}" ]]; then
  cmake -S "$ROOT" -B "$BUILD" -DVELCU_CF_PRODUTTORE="$VELCU_CF_PRODUTTORE" >/dev/null
  cmake --build "$BUILD" -j "${VELCU_JOBS:-2}"
fi
rm -rf "$BUILD/package"
(cd "$BUILD" && cpack -G DEB -B "$BUILD/package" >/dev/null)
deb="$(ls "$BUILD"/package/velcu_*_amd64.deb)"
echo "Pacchetto: $deb"
dpkg-deb --field "$deb" Package Version Depends
# Errors stop; warnings and notes are shown.
lintian --fail-on error "$deb"
echo "lintian: nessun errore."
