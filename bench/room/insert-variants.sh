#!/bin/sh
# What a seat's write of one result costs the server with many seats at once, by the shape of
# its statements, measured with pgbench on a throwaway durable cluster (fsync on):
#   insert-variants.sh [CLIENTS] [SECONDS]     (500 clients, 15 s each by default)
# prints the transactions per second of each shape. Root runs the server as "nobody".
set -eu
clients=${1:-500}
seconds=${2:-15}
bin=$(ls -d /usr/lib/postgresql/*/bin | tail -n 1)
dir=$(mktemp -d /tmp/kvalor-variants-XXXXXX)
as_server() { if [ "$(id -u)" = 0 ]; then runuser -u nobody -- "$@"; else "$@"; fi; }
[ "$(id -u)" = 0 ] && chown nobody "$dir"
as_server "$bin/initdb" -D "$dir/data" -U "$(id -un)" -A trust -E UTF8 --locale=C --no-sync >/dev/null
as_server "$bin/pg_ctl" -D "$dir/data" -l "$dir/log" -w -o \
    "-c listen_addresses='' -k $dir -p 5432 -c max_connections=$((clients + 20))" start >/dev/null
trap 'as_server "$bin/pg_ctl" -D "$dir/data" -m fast -w stop >/dev/null; rm -rf "$dir"' EXIT
psql -q -h "$dir" -d postgres -c \
    "CREATE TABLE studies (seq bigserial UNIQUE, study_key bytea PRIMARY KEY, record bytea NOT NULL)"

# A fresh key and a record of the size of a School study (20 questions).
key="decode(md5(random()::text || :client_id), 'hex')"
record="convert_to(repeat('x', 800), 'UTF8')"
through_temp="CREATE TEMP TABLE incoming (study_key bytea, record bytea) ON COMMIT DROP;
INSERT INTO incoming VALUES ($key, $record);"
notice_apart="BEGIN; SET LOCAL synchronous_commit = off; SELECT pg_notify('kvalor_studies', '1'); COMMIT;"

run() {
    printf '%s\n' "$2" >"$dir/script.sql"
    tps=$(pgbench -h "$dir" -n -c "$clients" -j 2 -T "$seconds" -f "$dir/script.sql" postgres 2>&1 |
        sed -n 's/^tps = \([0-9.]*\).*/\1/p')
    printf '%-70s %8s\n' "$1" "$tps"
}

printf '%-70s %8s\n' "shape of one result's write ($clients clients at once)" "per s"
run "temporary table, insert with its notice, one transaction" "BEGIN; $through_temp
WITH ins AS (INSERT INTO studies (study_key, record) SELECT study_key, record FROM incoming
  ON CONFLICT (study_key) DO NOTHING RETURNING seq)
SELECT pg_notify('kvalor_studies', max(seq)::text) FROM ins HAVING count(*) > 0;
DROP TABLE incoming; COMMIT;"
run "temporary table, no notice" "BEGIN; $through_temp
INSERT INTO studies (study_key, record) SELECT study_key, record FROM incoming
  ON CONFLICT (study_key) DO NOTHING;
DROP TABLE incoming; COMMIT;"
run "temporary table, the notice apart after the commit (not synced)" "BEGIN; $through_temp
INSERT INTO studies (study_key, record) SELECT study_key, record FROM incoming
  ON CONFLICT (study_key) DO NOTHING;
DROP TABLE incoming; COMMIT;
$notice_apart"
run "one insert statement with its notice" "WITH ins AS (INSERT INTO studies (study_key, record)
  VALUES ($key, $record) ON CONFLICT (study_key) DO NOTHING RETURNING seq)
SELECT pg_notify('kvalor_studies', max(seq)::text) FROM ins HAVING count(*) > 0;"
run "one insert statement, the notice apart after the commit (not synced)" "INSERT INTO studies (study_key, record)
  VALUES ($key, $record) ON CONFLICT (study_key) DO NOTHING;
$notice_apart"
