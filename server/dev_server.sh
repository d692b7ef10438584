#!/usr/bin/env bash
# A local community server for a person trying the program: a PostgreSQL cluster under the book folder
# (created the first time), the server's schema (brought up to date on every start) and the page service
# in the foreground. Ctrl-C stops both. Run through `./dev server`, which builds the page service first.
#
#   server/dev_server.sh PAGE-SERVICE-PROGRAM
#
# QENTARA_HOME chooses the book folder as for the program; QENTARA_DB_PORT (15432) and QENTARA_PAGE_PORT
# (18080) the ports, both on 127.0.0.1 only. A page service that dies is started again; the database
# keeps running meanwhile (uploads go to it directly).
set -euo pipefail

service_bin=$1
here=$(cd "$(dirname "$0")" && pwd)
book=${QENTARA_HOME:-${XDG_DATA_HOME:-$HOME/.local/share}/QentaraZp}
db_port=${QENTARA_DB_PORT:-15432}
page_port=${QENTARA_PAGE_PORT:-18080}
srv="$book/server"
data="$srv/pgdata"
logdir="$srv/log"
www="$srv/www"
pgbin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -1)

# PostgreSQL refuses to run as root: then the cluster belongs to an unprivileged account of its own.
if [ "$(id -u)" -eq 0 ]; then
  owner=qentara
  id -u "$owner" >/dev/null 2>&1 ||
    useradd --system --no-create-home --home-dir /nonexistent --shell /usr/sbin/nologin "$owner"
  as_owner() { (cd / && runuser -u "$owner" -- "$@"); }
else
  owner=$(id -un)
  as_owner() { (cd / && "$@"); }
fi

mkdir -p "$srv" "$www"
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

# The page service logs on as the schema's owner with a password made here once.
if [ ! -s "$srv/admin.pass" ]; then
  (umask 077 && head -c 24 /dev/urandom | base64 | tr -d '/+=\n' >"$srv/admin.pass")
fi
admin_pass=$(cat "$srv/admin.pass")

if [ ! -f "$data/PG_VERSION" ]; then
  echo "Creating the community server's database cluster in $data"
  pwfile="$logdir/initdb.pw"
  (umask 077 && printf '%s\n' "$admin_pass" >"$pwfile")
  [ "$(id -u)" -ne 0 ] || chown "$owner" "$pwfile"
  # The socket lies in the cluster's own folder, which only its account can enter.
  as_owner "$pgbin/initdb" -D "$data" -U qntadmin --pwfile="$pwfile" --auth-local=trust \
    --auth-host=scram-sha-256 --encoding=UTF8 --locale=C.UTF-8 >"$logdir/initdb.log"
  rm -f "$pwfile"
  as_owner tee -a "$data/postgresql.conf" >/dev/null <<EOF
listen_addresses = '127.0.0.1'
unix_socket_directories = '$data'
EOF
fi

# The program's account (its password is in every copy) reaches its own database and no other, whatever
# databases the cluster gets later. Lines are matched in order: these go first.
hba="$data/pg_hba.conf"
hba_marker="# qentara: the program's account reaches its own database only"
hba_changed=0
if ! grep -qF "$hba_marker" "$hba"; then
  as_owner sh -c 'tmp=$1.new; { printf "%s\n" "$2" "host qntzpsvr01 qntzpsvr01 127.0.0.1/32 scram-sha-256" \
      "host all qntzpsvr01 all reject" "local all qntzpsvr01 reject"; cat "$1"; } >"$tmp" && mv "$tmp" "$1"' \
    sh "$hba" "$hba_marker"
  hba_changed=1
fi

stop_cluster() { as_owner "$pgbin/pg_ctl" -D "$data" -m fast stop >/dev/null 2>&1 || true; }
if ! as_owner "$pgbin/pg_ctl" -D "$data" status >/dev/null 2>&1; then
  if ! as_owner "$pgbin/pg_ctl" -D "$data" -l "$logdir/postgresql.log" -o "-p $db_port" -w -t 60 start >/dev/null; then
    echo "The database did not start; the end of $logdir/postgresql.log says why:" >&2
    tail -n 5 "$logdir/postgresql.log" >&2
    exit 1
  fi
  trap stop_cluster EXIT
elif [ "$hba_changed" -eq 1 ]; then
  as_owner "$pgbin/pg_ctl" -D "$data" reload >/dev/null
fi

psql_admin() { as_owner "$pgbin/psql" -h "$data" -p "$db_port" -U qntadmin -d postgres -v ON_ERROR_STOP=1 -tAq "$@"; }
if [ "$(psql_admin -c "SELECT 1 FROM pg_database WHERE datname = 'qntzpsvr01'")" != 1 ]; then
  as_owner "$pgbin/createdb" -h "$data" -p "$db_port" -U qntadmin qntzpsvr01
fi

# Files the pages hand out: a message page and the version file to start with; update files go to zip/
# and chm/, e-books wherever their addresses say. Files already there are kept.
mkdir -p "$www/zip" "$www/chm" "$www/ebook"
cp -rn "$here/www/." "$www/"

echo "Database qntzpsvr01 on 127.0.0.1:$db_port; files from $www"

# Ctrl-C reaches the page service too (it stops by itself); either way the loop below ends and the
# cluster stops on the way out. A page service that died otherwise is started again (its schema load
# changes nothing the second time); one that cannot even start gives up after a few tries.
set +e
stopping=0
service_pid=""
stop_service() {
  stopping=1
  [ -z "$service_pid" ] || kill -TERM "$service_pid" 2>/dev/null
}
trap stop_service INT TERM
quick_deaths=0
while :; do
  started=$(date +%s)
  PGPASSWORD=$admin_pass "$service_bin" --listen 127.0.0.1 --port "$page_port" --root "$www" \
    --db-host 127.0.0.1 --db-port "$db_port" --db-name qntzpsvr01 --db-user qntadmin --load-schema &
  service_pid=$!
  # A trapped signal ends the wait early: wait again until the service has really ended.
  while :; do
    wait "$service_pid"
    status=$?
    kill -0 "$service_pid" 2>/dev/null || break
  done
  service_pid=""
  [ "$stopping" -eq 0 ] || break
  if [ $(($(date +%s) - started)) -lt 5 ]; then quick_deaths=$((quick_deaths + 1)); else quick_deaths=0; fi
  if [ "$quick_deaths" -ge 5 ]; then
    echo "The page service ended (status $status) five times just after starting: giving up." >&2
    exit 1
  fi
  echo "The page service ended (status $status); starting it again. The database kept running." >&2
  sleep 1
done
