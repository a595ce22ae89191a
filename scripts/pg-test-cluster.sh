#!/usr/bin/env bash
# A throw-away PostgreSQL server for the tests:
#   scripts/pg-test-cluster.sh start DIR   creates a cluster, starts it, loads
#                                          the test schema, writes DIR/env
#   scripts/pg-test-cluster.sh stop DIR    stops it and removes it and DIR
# The cluster lives in a new temporary directory (DIR/cluster names it): a
# short path for the unix socket, and one the server's user can reach. The
# server listens on that socket and on 127.0.0.1 at a free port; TCP
# connections need the test role's password (scram-sha-256), the socket
# trusts the local user. DIR/env holds the assignments the tests read:
# PGHOST (the socket directory), PGPORT, PGDATABASE, QXRTF_PG_USER,
# QXRTF_PG_PASSWORD.
# initdb and postgres refuse to run as root: as root, they run as the
# `postgres` system user, which then owns the cluster.
# Without the server's programs, start exits with 77 (the tests skip), or
# fails when QXRTF_REQUIRE_PG is set (as in CI).
set -euo pipefail

action=${1:-}
dir=${2:-}
if [ -z "$action" ] || [ -z "$dir" ]; then
  echo "usage: $0 start|stop DIR" >&2
  exit 2
fi

bindir=""
# Debian keeps the server's programs beside psql only in a versioned folder.
for candidate in $(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V -r) \
                 "$(command -v pg_ctl 2>/dev/null | xargs -r readlink -f | xargs -r dirname)"; do
  if [ -n "$candidate" ] && [ -x "$candidate/initdb" ] && [ -x "$candidate/pg_ctl" ] &&
     [ -x "$candidate/psql" ]; then
    bindir=$candidate
    break
  fi
done
if [ -z "$bindir" ] && [ "$action" = start ]; then
  echo "PostgreSQL server programs (initdb, pg_ctl, psql) not found" >&2
  [ -n "${QXRTF_REQUIRE_PG:-}" ] && exit 1
  exit 77
fi

as_owner() {
  if [ "$(id -u)" -eq 0 ]; then
    runuser -u postgres -- "$@"
  else
    "$@"
  fi
}

# A port in the ephemeral range that nothing answers on (the start is
# tried again on another one if the server still cannot bind it).
free_port() {
  local port
  while :; do
    port=$((49152 + RANDOM % 16000))
    if ! (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; then
      echo "$port"
      return
    fi
  done
}

case "$action" in
  start)
    bash "$0" stop "$dir"
    mkdir -p "$dir"
    envdir=$(cd "$dir" && pwd)
    dir=$(mktemp -d /tmp/qxrtf-pg.XXXXXX)
    echo "$dir" >"$envdir/cluster"
    chmod 755 "$dir"
    [ "$(id -u)" -eq 0 ] && chown postgres: "$dir"
    password="qx-$(od -An -N6 -tx1 /dev/urandom | tr -d ' \n')"
    user=qxtest
    owner=$(as_owner id -un)
    if ! as_owner "$bindir/initdb" -D "$dir/data" -U "$owner" -E UTF8 --locale=C \
      --auth-local=trust --auth-host=scram-sha-256 >"$dir/initdb.log" 2>&1; then
      cat "$dir/initdb.log" >&2
      exit 1
    fi
    cat >>"$dir/data/postgresql.conf" <<EOF
listen_addresses = '127.0.0.1'
unix_socket_directories = '$dir'
fsync = off
synchronous_commit = off
full_page_writes = off
shared_buffers = 16MB
max_connections = 40
timezone = 'UTC'
EOF
    started=""
    for _ in 1 2 3 4 5; do
      port=$(free_port)
      if as_owner "$bindir/pg_ctl" -D "$dir/data" -l "$dir/server.log" -o "-p $port" -w -t 60 \
        start >/dev/null; then
        started=yes
        break
      fi
    done
    if [ -z "$started" ]; then
      cat "$dir/server.log" >&2
      exit 1
    fi
    psql_cmd=("$bindir/psql" -X -q -v ON_ERROR_STOP=1 -h "$dir" -p "$port" -U "$owner")
    as_owner "${psql_cmd[@]}" -d postgres \
      -c "CREATE ROLE $user LOGIN PASSWORD '$password'" \
      -c "CREATE DATABASE qxtest OWNER $user"
    as_owner "${psql_cmd[@]}" -d qxtest -U "$user" -f - <<'EOF'
CREATE TABLE customers (
  id integer PRIMARY KEY,
  name text NOT NULL,
  city varchar(40),
  since date
);
CREATE TABLE orders (
  id integer PRIMARY KEY,
  customer_id integer NOT NULL REFERENCES customers(id),
  placed timestamp NOT NULL,
  total numeric(12, 2) NOT NULL
);
CREATE TABLE lines (
  order_id integer NOT NULL REFERENCES orders(id),
  line_no smallint NOT NULL,
  item text NOT NULL,
  qty integer NOT NULL,
  price numeric(10, 2) NOT NULL,
  PRIMARY KEY (order_id, line_no)
);
INSERT INTO customers VALUES
  (1, 'Ada Byron', 'London', '2019-03-01'),
  (2, 'Carl Gauss', 'Braunschweig', '2020-11-15'),
  (3, 'Emmy Noether', NULL, NULL);
INSERT INTO orders VALUES
  (10, 1, '2024-01-05 09:30:00', 37.50),
  (11, 1, '2024-02-10 14:00:00', 8.25),
  (20, 2, '2024-03-12 11:15:00', 120.00);
INSERT INTO lines VALUES
  (10, 1, 'Notebook', 3, 4.50),
  (10, 2, 'Ink', 1, 24.00),
  (11, 1, 'Pencil', 11, 0.75),
  (20, 1, 'Slide rule', 1, 120.00);

-- One column of each mapped type, a row of values and a row of NULLs.
CREATE TABLE typed (
  k integer PRIMARY KEY,
  c_int2 smallint, c_int4 integer, c_int8 bigint,
  c_numeric numeric, c_float4 real, c_float8 double precision,
  c_text text, c_varchar varchar(20), c_bpchar char(6), c_name name,
  c_bool boolean, c_date date, c_timestamp timestamp, c_timestamptz timestamptz,
  c_bytea bytea
);
INSERT INTO typed VALUES
  (1, -32768, 2147483647, 9007199254740993,
   12345678901234567890.123456789, 1.5, 0.1,
   'Grüße', 'vc', 'ab', 'pg_name',
   true, '2024-02-29', '2024-02-29 23:59:58.25', '2024-02-29 23:59:58+00',
   '\x00ff41'),
  (2, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL, NULL,
   NULL);

-- The letters of the batch tests: 1,000 customers, each with two orders.
CREATE TABLE letter_customers AS
  SELECT n AS id, 'Customer ' || n AS name, 'City ' || (n % 37) AS city
  FROM generate_series(1, 1000) AS n;
CREATE TABLE letter_orders AS
  SELECT c.id * 10 + k AS id, c.id AS customer_id, (c.id * 3 + k) * 1.25 AS amount
  FROM letter_customers c, generate_series(1, 2) AS k;
EOF
    cat >"$envdir/env" <<EOF
PGHOST=$dir
PGPORT=$port
PGDATABASE=qxtest
QXRTF_PG_USER=$user
QXRTF_PG_PASSWORD=$password
EOF
    ;;
  stop)
    if [ -f "$dir/cluster" ]; then
      cluster=$(cat "$dir/cluster")
      if [ -n "$bindir" ] && [ -d "$cluster/data" ]; then
        as_owner "$bindir/pg_ctl" -D "$cluster/data" -m immediate -w stop >/dev/null 2>&1 || true
      fi
      case "$cluster" in /tmp/qxrtf-pg.*) rm -rf "$cluster" ;; esac
    fi
    rm -rf "$dir"
    ;;
  *)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
