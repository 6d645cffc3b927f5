#!/usr/bin/env bash
# Installs the Debian packages velcu needs, when any is missing. Run as root.
# Extra package names on the command line are installed the same way
# (scripts/package.sh asks for the packaging tools).
set -euo pipefail
PACKAGES=(
  cmake ninja-build g++ pkg-config
  qt6-base-dev qt6-base-dev-tools libqt6sql6-sqlite libqt6sql6-psql
  libqpdf-dev qpdf libsqlite3-dev libpq-dev
  postgresql
  poppler-utils fonts-urw-base35 imagemagick libxml2-utils
  xvfb xauth
  qt6-translations-l10n
  python3
  "$@"
)
missing=()
for p in "${PACKAGES[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$p")
  fi
done
if ((${#missing[@]})); then
  if [[ $(id -u) -ne 0 ]]; then
    echo "Pacchetti mancanti: ${missing[*]}" >&2
    echo "Eseguire come root (apt-get install)." >&2
    exit 1
  fi
  echo "Installazione pacchetti: ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
