#!/usr/bin/env bash
# Lists every place where an engine (import, supply, print, editors,
# coherence check) reaches the fiscal store without the CU repository
# (src/prj/unit/model/VelCuRepository.*): a call of the store object's reads
# and writes, or an SQL text on the store's tables. Prints nothing and ends
# with status 0 when there is none; otherwise lists them and ends with 1.
#
#   bash scripts/store-access.sh
set -u
root="$(cd "$(dirname "$0")/.." && pwd)"
cd "$root"
engines=(src/prj/unit/import src/prj/unit/telematic src/prj/unit/print src/prj/unit/editors src/prj/unit/check)
calls='(\.|->)(Load|Save|SaveFields|FindPerson|HasRows|Versions|setExpectedVersions)\('
tables='tfis_datifiscali|tafi_anafiscale|tcds_struttura|tcrf_crofiscale'
files=()
for d in "${engines[@]}"; do
    files+=("$d"/*.cpp "$d"/*.h)
done
found=$( { grep -nE "$calls" "${files[@]}"
           grep -niE "$tables" "${files[@]}"; } \
         | grep -vE '^[^:]+:[0-9]+:\s*//' | sort -u )
if [ -n "$found" ]; then
    echo "Accessi all'archivio fiscale fuori dal repository delle CU:"
    echo "$found"
    exit 1
fi
exit 0
