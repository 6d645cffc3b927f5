#!/usr/bin/env bash
# The package on a clean root: builds it (scripts/package.sh, lintian
# included), unpacks it into a throw-away root and runs the README's ten-step
# campaign with the installed programs and HOME pointed at an empty folder.
# Then: nothing was written into the unpacked tree, every file of the campaign
# is below HOME, and the supply and the prints are those the same campaign
# makes on a copy of the stage.
set -euo pipefail
ROOT="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
BUILD="${VELCU_BUILD_DIR:-$ROOT/build}"
bash "$ROOT/scripts/package.sh"
deb="$(ls "$BUILD"/package/velcu_*_amd64.deb)"

work="$(mktemp -d /tmp/velcu-pacchetto.XXXXXX)"
trap 'chmod -R u+w "$work" 2>/dev/null; rm -rf "$work"' EXIT
dpkg-deb -x "$deb" "$work/root"
chmod -R a-w "$work/root"
mkdir "$work/home"
# the stage as the campaign test copies it: programs and shipped data
mkdir -p "$work/stage/bin"
cp "$BUILD/stage/bin/velcu-cli" "$BUILD/stage/bin/velcu-db" "$work/stage/bin/"
cp -r "$BUILD/stage/etc" "$work/stage/"
mkdir -p "$work/stage/USR/KZ2025"
cp -r "$BUILD/stage/USR/KZ2025/Res" "$work/stage/USR/KZ2025/"

mapfile -t steps < <(sed -n '/^The demo campaign from the command line/,/^Notes for the command line:/p' "$ROOT/README.md" \
                     | grep '^    bin/' | sed 's/^    //')
if [[ ${#steps[@]} -ne 10 ]]; then
  echo "README: attesi 10 passi della campagna, trovati ${#steps[@]}" >&2
  exit 1
fi

# campaign <folder to run from> <prefix of bin/> <HOME>
campaign() {
  local dir="$1" prefix="$2" home="$3" step status expected
  for step in "${steps[@]}"; do
    # the statuses the README gives: imports 1 (demo payees left out on
    # purpose), the supply 3 (written, with warnings), the rest 0
    expected=0
    [[ " $step " == *" import "* ]] && expected=1
    [[ " $step " == *" fornitura "* ]] && expected=3
    set +e
    (cd "$dir" && env -i PATH=/usr/bin:/bin HOME="$home" LANG=C.UTF-8 TZ="${TZ:-UTC}" \
        bash -c "$prefix/$step" >>"$work/log" 2>&1)
    status=$?
    set -e
    if [[ $status -ne $expected ]]; then
      echo "Passo \"$step\" ($prefix): stato $status, atteso $expected" >&2
      tail -40 "$work/log" >&2
      exit 1
    fi
  done
}

touch "$work/inizio"
campaign "$work/home" "$work/root/usr" "$work/home"
# nothing written into the installation, nothing outside HOME in the work folder
changed="$(find "$work/root" -newer "$work/inizio" | head -5)"
if [[ -n "$changed" ]]; then
  echo "Scritto nell'installazione: $changed" >&2
  exit 1
fi
outside="$(find "$work" -mindepth 1 -newer "$work/inizio" -not -path "$work/home*" -not -path "$work/log" | head -5)"
if [[ -n "$outside" ]]; then
  echo "Scritto fuori da HOME: $outside" >&2
  exit 1
fi
data="$work/home/.local/share/velcu"
mkdir "$work/stage-home"
campaign "$work/stage" "$work/stage" "$work/stage-home"

cmp "$data/USR/KZ2025/DichCU/CUR26" "$work/stage/USR/KZ2025/DichCU/CUR26"
diff <(pdftotext -layout "$data/USR/KZ2025/Stp/CU-2026.pdf" -) \
     <(pdftotext -layout "$work/stage/USR/KZ2025/Stp/CU-2026.pdf" -)
diff <(cd "$work/home/USR/KZ2025/Stp/percipienti" && ls) <(cd "$work/stage/USR/KZ2025/Stp/percipienti" && ls)
echo "Campagna dal pacchetto installato: $(find "$work/home" -type f | wc -l) file scritti, tutti in HOME;"
echo "fornitura e stampe uguali a quelle della stage."
