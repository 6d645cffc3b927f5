#!/usr/bin/env bash
# The declarations of the query catalogue that the build refuses, and one it
# accepts, run through velcu-payrollqueries on small catalogues: each refused
# one must end with status 1 and say why; the accepted one must name the
# tables its text reads and no other. Ends with status 1 at the first
# difference.
#
#   bash scripts/payrollqueries-faults.sh PATH/velcu-payrollqueries
set -u
tool="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
mkdir "$work/sql"
cat > "$work/sql/010.sql" <<'SQL'
CREATE TABLE IF NOT EXISTS tregs_registri (iregsid INTEGER, iacomid INTEGER);
create table tvarr_varritenute (iregsid INTEGER, fvarrlordo NUMERIC(15,2));
CREATE TABLE tana_anagrafiche (ianaid INTEGER);
SQL
status=0

catalogue() {
    printf '<?xml version="1.0" encoding="UTF-8"?>\n<catalogue>\n%s\n</catalogue>\n' "$1" > "$work/q.xml"
}

# name | statements | what the refusal must say
while IFS='|' read -r name statements message; do
    catalogue "$statements"
    if out=$("$tool" "$work/q.xml" "$work/sql" "$work/out.h" 2>&1); then
        echo "$name: accettato, doveva essere rifiutato"; status=1
    elif ! grep -qF "$message" <<<"$out"; then
        echo "$name: messaggio \"$out\", atteso \"$message\""; status=1
    fi
done <<'CASES'
not a select|<statement name="QRY_A" kind="EXECUTE" righe="rapporto">SELECT 1 FROM tregs_registri WHERE iacomid = :IACOMID</statement>|righe dichiarate su un'istruzione EXECUTE
unknown rows|<statement name="QRY_A" kind="SELECT" righe="registro">SELECT 1 FROM tregs_registri</statement>|righe "registro" sconosciute
relationship without its key|<statement name="QRY_A" kind="SELECT" righe="rapporto">SELECT 1 FROM tregs_registri WHERE iacomid = :IACOMIDX</statement>|senza il parametro :IACOMID
person without its key|<statement name="QRY_A" kind="SELECT" righe="persona">SELECT 1 FROM tana_anagrafiche WHERE ianaid = :IACOMID</statement>|senza il parametro :IANAID
two texts, two declarations|<statement name="QRY_A" kind="SELECT" index="0" righe="rapporto">SELECT 1 FROM tregs_registri WHERE iacomid = :IACOMID</statement><statement name="QRY_A" kind="SELECT" index="1">SELECT 1 FROM tana_anagrafiche</statement>|righe diverse da quelle del testo
no select|<statement name="QRY_A" kind="DELETE">DELETE FROM tregs_registri</statement>|nessuna istruzione SELECT
CASES

# Accepted: the tables are those the text names (an alias or a column that
# resembles a table is none), in either case.
catalogue '<statement name="QRY_B" kind="SELECT" righe="rapporto">SELECT SUM(v.fvarrlordo) AS tregs_tot FROM TVARR_VARRITENUTE v JOIN tregs_registri r ON r.iregsid = v.iregsid WHERE r.iacomid = :IACOMID</statement>'
if ! "$tool" "$work/q.xml" "$work/sql" "$work/out.h"; then
    echo "catalogo corretto rifiutato"; status=1
elif ! grep -q '{"QRY_B", Righe::Rapporto, {.*}},   // tregs_registri tvarr_varritenute$' "$work/out.h"; then
    echo "tabelle di QRY_B errate:"; grep QRY_B "$work/out.h"; status=1
fi
exit $status
