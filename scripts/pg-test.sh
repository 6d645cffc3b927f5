# Sourced by scripts/test.sh: a throw-away PostgreSQL cluster on 127.0.0.1 in a temporary folder.
# Exports VELCU_TEST_PGHOST, VELCU_TEST_PGPORT, VELCU_TEST_PGUSER, VELCU_TEST_PGDATABASE.
PG_BIN="${PG_BIN:-$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -1)}"

pg_test_start() {
  PG_TEST_DIR="$(mktemp -d /tmp/velcu-pg.XXXXXX)"
  chown postgres:postgres "$PG_TEST_DIR" 2>/dev/null || true
  local port="${VELCU_TEST_PGPORT:-$(( 20000 + RANDOM % 20000 ))}"
  local as=()
  if [[ $(id -u) -eq 0 ]]; then as=(runuser -u postgres --); fi
  (cd /tmp && "${as[@]}" "$PG_BIN/initdb" -D "$PG_TEST_DIR/data" -U postgres --auth=trust \
      -E UTF8 --locale=C.UTF-8 >"$PG_TEST_DIR/initdb.log" 2>&1) || {
    cat "$PG_TEST_DIR/initdb.log" >&2; return 1; }
  (cd /tmp && "${as[@]}" "$PG_BIN/pg_ctl" -D "$PG_TEST_DIR/data" -w -l "$PG_TEST_DIR/server.log" \
      -o "-p $port -k /tmp -c listen_addresses=127.0.0.1" start >/dev/null) || {
    cat "$PG_TEST_DIR/server.log" >&2; return 1; }
  (cd /tmp && "${as[@]}" "$PG_BIN/createdb" -h 127.0.0.1 -p "$port" -U postgres velcu_test)
  export VELCU_TEST_PGHOST=127.0.0.1 VELCU_TEST_PGPORT="$port" VELCU_TEST_PGUSER=postgres \
         VELCU_TEST_PGDATABASE=velcu_test PG_TEST_DIR
  echo "PostgreSQL di prova su 127.0.0.1:$port"
}

pg_test_stop() {
  [[ -n "${PG_TEST_DIR:-}" && -d "$PG_TEST_DIR/data" ]] || return 0
  local as=()
  if [[ $(id -u) -eq 0 ]]; then as=(runuser -u postgres --); fi
  (cd /tmp && "${as[@]}" "$PG_BIN/pg_ctl" -D "$PG_TEST_DIR/data" -m fast -w stop >/dev/null 2>&1) || true
  rm -rf "$PG_TEST_DIR"
}
