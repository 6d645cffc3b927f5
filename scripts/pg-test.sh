# Sourced by scripts/test.sh: a throw-away PostgreSQL cluster on 127.0.0.1 in a temporary folder.
# Exports VELCU_TEST_PGHOST, VELCU_TEST_PGPORT, VELCU_TEST_PGUSER, VELCU_TEST_PGDATABASE,
# and VELCU_TEST_PGAUTHUSER: a role that must log in with a password. The password is
# random and kept nowhere: the tests only need to see a wrong one refused.
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
  # Everyone is trusted except the password-checked role, matched first.
  "${as[@]}" sed -i '1i host all velcu_auth 127.0.0.1/32 scram-sha-256' "$PG_TEST_DIR/data/pg_hba.conf"
  (cd /tmp && "${as[@]}" "$PG_BIN/pg_ctl" -D "$PG_TEST_DIR/data" -w -l "$PG_TEST_DIR/server.log" \
      -o "-p $port -k /tmp -c listen_addresses=127.0.0.1" start >/dev/null) || {
    cat "$PG_TEST_DIR/server.log" >&2; return 1; }
  (cd /tmp && "${as[@]}" "$PG_BIN/createdb" -h 127.0.0.1 -p "$port" -U postgres velcu_test)
  local secret
  secret="$(head -c 18 /dev/urandom | base64 | tr -d '/+=')"
  (cd /tmp && "${as[@]}" "$PG_BIN/psql" -q -h 127.0.0.1 -p "$port" -U postgres -d velcu_test \
      -c "CREATE ROLE velcu_auth LOGIN PASSWORD '$secret'") >/dev/null
  export VELCU_TEST_PGHOST=127.0.0.1 VELCU_TEST_PGPORT="$port" VELCU_TEST_PGUSER=postgres \
         VELCU_TEST_PGDATABASE=velcu_test VELCU_TEST_PGAUTHUSER=velcu_auth PG_TEST_DIR
  echo "PostgreSQL di prova su 127.0.0.1:$port"
}

pg_test_stop() {
  [[ -n "${PG_TEST_DIR:-}" && -d "$PG_TEST_DIR/data" ]] || return 0
  local as=()
  if [[ $(id -u) -eq 0 ]]; then as=(runuser -u postgres --); fi
  (cd /tmp && "${as[@]}" "$PG_BIN/pg_ctl" -D "$PG_TEST_DIR/data" -m fast -w stop >/dev/null 2>&1) || true
  rm -rf "$PG_TEST_DIR"
}
