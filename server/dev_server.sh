#!/usr/bin/env bash
# A local community server for a person trying the program: a PostgreSQL cluster under the book folder
# (created the first time), its schema and accounts (brought up to date on every start), the page
# service and the door in front of it (nginx with TLS, its certificates signed by a local authority made
# the first time), all in the foreground. Ctrl-C stops them all. Run through `./dev server`, which builds
# the page service first.
#
#   server/dev_server.sh PAGE-SERVICE-PROGRAM
#
# QENTARA_HOME chooses the book folder as for the program. QENTARA_DOOR_PORT (18443) is the door on
# 127.0.0.1, the only port the program reaches; QENTARA_PAGE_PORT (18080) the first page service, which
# only the door reaches; QENTARA_PAGE_SERVICES (1) how many page services the door shares its requests
# between (on the ports after the first); QENTARA_DB_PORT (15432) names the database's socket: the
# database listens on no network address. A page service that dies is started again meanwhile.
set -euo pipefail

service_bin=$1
here=$(cd "$(dirname "$0")" && pwd)
book=${QENTARA_HOME:-${XDG_DATA_HOME:-$HOME/.local/share}/QentaraZp}
db_port=${QENTARA_DB_PORT:-15432}
page_port=${QENTARA_PAGE_PORT:-18080}
door_port=${QENTARA_DOOR_PORT:-18443}
services=${QENTARA_PAGE_SERVICES:-1}
srv="$book/server"
data="$srv/pgdata"
logdir="$srv/log"
www="$srv/www"
tls="$srv/tls"
door="$srv/door"
pgbin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -1)

# PostgreSQL refuses to run as root: then the cluster belongs to an unprivileged account of its own, and
# so do nginx's workers.
if [ "$(id -u)" -eq 0 ]; then
  owner=qentara
  id -u "$owner" >/dev/null 2>&1 ||
    useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$owner"
  as_owner() { (cd / && runuser -u "$owner" -- "$@"); }
else
  owner=$(id -un)
  as_owner() { (cd / && "$@"); }
fi

mkdir -p "$srv" "$www" "$door/temp"
if [ "$(id -u)" -eq 0 ]; then
  # The account must pass through the folders above the cluster (root's home is closed to others): it
  # gets the right to pass through those folders, nothing more.
  path=""
  IFS=/ read -ra parts <<<"${srv#/}"
  for part in "${parts[@]}"; do
    path="$path/$part"
    runuser -u "$owner" -- test -x "$path" || setfacl -m "u:$owner:x" "$path"
  done
  mkdir -p "$data" "$logdir"
  chown "$owner" "$data" "$logdir"
else
  mkdir -p "$data" "$logdir"
fi
chmod 700 "$data"
chmod 755 "$door"

# Passwords made here once: the administrator's (the cluster's superuser) and the page service's.
for pass in admin.pass pages.pass; do
  if [ ! -s "$srv/$pass" ]; then
    (umask 077 && head -c 24 /dev/urandom | base64 | tr -d '/+=\n' >"$srv/$pass")
  fi
done
admin_pass=$(cat "$srv/admin.pass")
pages_pass=$(cat "$srv/pages.pass")

if [ ! -f "$data/PG_VERSION" ]; then
  echo "Creating the community server's database cluster in $data"
  pwfile="$logdir/initdb.pw"
  (umask 077 && printf '%s\n' "$admin_pass" >"$pwfile")
  [ "$(id -u)" -ne 0 ] || chown "$owner" "$pwfile"
  as_owner "$pgbin/initdb" -D "$data" -U qntadmin --pwfile="$pwfile" --auth-local=trust \
    --auth-host=scram-sha-256 --encoding=UTF8 --locale=C.UTF-8 >"$logdir/initdb.log"
  rm -f "$pwfile"
fi

# The database listens on no network address: its socket lies in the cluster's own folder, which only
# its account (and the page service beside it) can enter. Written on every start; the last line wins.
conf_marker="# qentara: reached through its socket only"
restart_cluster=0
if ! grep -qF "$conf_marker" "$data/postgresql.conf"; then
  as_owner tee -a "$data/postgresql.conf" >/dev/null <<EOF
$conf_marker
listen_addresses = ''
unix_socket_directories = '$data'
EOF
  restart_cluster=1
fi

# Who may log on, and how: the administrator, and the page service's account to its database. Nobody
# else, from anywhere (the program's old account cannot log on at all).
hba_new=$(
  cat <<'EOF'
# Written by dev_server.sh on every start.
local all qntadmin trust
local qntzpsvr01 qntzp_pages scram-sha-256
local all all reject
host all all all reject
EOF
)
hba_changed=0
if [ "$(cat "$data/pg_hba.conf")" != "$hba_new" ]; then
  printf '%s\n' "$hba_new" | as_owner tee "$data/pg_hba.conf" >/dev/null
  hba_changed=1
fi

stop_cluster() { as_owner "$pgbin/pg_ctl" -D "$data" -m fast stop >/dev/null 2>&1 || true; }
start_cluster() {
  if ! as_owner "$pgbin/pg_ctl" -D "$data" -l "$logdir/postgresql.log" -o "-p $db_port" -w -t 60 start >/dev/null; then
    echo "The database did not start; the end of $logdir/postgresql.log says why:" >&2
    tail -n 5 "$logdir/postgresql.log" >&2
    exit 1
  fi
}
if ! as_owner "$pgbin/pg_ctl" -D "$data" status >/dev/null 2>&1; then
  start_cluster
elif [ "$restart_cluster" -eq 1 ]; then
  stop_cluster
  start_cluster
elif [ "$hba_changed" -eq 1 ]; then
  as_owner "$pgbin/pg_ctl" -D "$data" reload >/dev/null
fi

psql_admin() { as_owner "$pgbin/psql" -h "$data" -p "$db_port" -U qntadmin -v ON_ERROR_STOP=1 -tAq "$@"; }
if [ "$(psql_admin -d postgres -c "SELECT 1 FROM pg_database WHERE datname = 'qntzpsvr01'")" != 1 ]; then
  as_owner "$pgbin/createdb" -h "$data" -p "$db_port" -U qntadmin qntzpsvr01
fi

# The schema and the accounts, as the administrator; then the page service's password (through psql's
# input, never its command line).
if ! "$service_bin" --load-schema --db-host "$data" --db-port "$db_port" --db-name qntzpsvr01 \
  --db-user qntadmin; then
  stop_cluster
  exit 1
fi
printf "\\\\set pw '%s'\nALTER ROLE qntzp_pages PASSWORD :'pw';\n" "$pages_pass" | psql_admin -d qntzpsvr01

# Files the pages hand out: a message page and the version file to start with; update files go to zip/
# and chm/, e-books wherever their addresses say. Files already there are kept.
mkdir -p "$www/zip" "$www/chm" "$www/ebook"
cp -rn "$here/www/." "$www/"

# The door's certificates (made once) and its configuration (made on every start).
"$here/door/make_certificates.sh" "$tls"
upstreams=""
for ((i = 0; i < services; i++)); do upstreams="${upstreams}server 127.0.0.1:$((page_port + i)); "; done
user_line=""
[ "$(id -u)" -ne 0 ] || user_line="user $owner;"
sed -e "s|@WORKERS@|auto|" -e "s|@USER@|$user_line|" -e "s|@PREFIX@|$door|g" -e "s|@UPSTREAMS@|$upstreams|" \
  -e "s|@LISTEN@|127.0.0.1:$door_port|" -e "s|@CERT@|$tls/door.crt|" -e "s|@KEY@|$tls/door.key|" \
  "$here/door/nginx.conf.in" >"$door/nginx.conf"

# Ctrl-C ends everything below; the cluster stops on the way out. A page service that died otherwise is
# started again (loading nothing, it has nothing to redo); one that cannot even start gives up after a
# few tries, and so does everything.
set +e
supervise() {
  local port=$1 child="" quick=0 started status
  trap '[ -z "$child" ] || kill -TERM "$child" 2>/dev/null; wait "$child" 2>/dev/null; exit 0' TERM
  while :; do
    started=$(date +%s)
    PGPASSWORD=$pages_pass "$service_bin" --listen 127.0.0.1 --port "$port" --root "$www" \
      --door-address 127.0.0.1 --db-host "$data" --db-port "$db_port" --db-name qntzpsvr01 --db-user qntzp_pages &
    child=$!
    wait "$child"
    status=$?
    child=""
    if [ $(($(date +%s) - started)) -lt 5 ]; then quick=$((quick + 1)); else quick=0; fi
    if [ "$quick" -ge 5 ]; then
      echo "The page service on port $port ended (status $status) five times just after starting: giving up." >&2
      exit 1
    fi
    echo "The page service on port $port ended (status $status); starting it again." >&2
    sleep 1
  done
}
pids=()
for ((i = 0; i < services; i++)); do
  supervise $((page_port + i)) &
  pids+=($!)
done
nginx -p "$door" -c "$door/nginx.conf" -e "$door/error.log" &
door_pid=$!
pids+=("$door_pid")
stopping=0
stop_all() {
  stopping=1
  for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null; done
}
trap stop_all INT TERM
echo "Community server: the door on https://127.0.0.1:$door_port (authority $tls/ca.crt), $services page" \
  "service(s) from port $page_port, database qntzpsvr01 on its socket in $data; files from $www. Ctrl-C stops it."
# Whichever ends first (a signal, the door, a page service that gave up) ends the others.
wait -n "${pids[@]}"
[ "$stopping" -eq 1 ] || echo "A part of the community server ended; stopping the rest." >&2
stop_all
wait "${pids[@]}" 2>/dev/null
stop_cluster
