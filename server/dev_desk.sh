#!/usr/bin/env bash
# The service desk's side of the message board on the server that `./dev server` runs:
#
#   server/dev_desk.sh PAGE-SERVICE-PROGRAM DESK-NO                 what users wrote to DESK-NO
#   server/dev_desk.sh PAGE-SERVICE-PROGRAM DESK-NO USER-NO TEXT    answers USER-NO with TEXT (HTML)
#   server/dev_desk.sh PAGE-SERVICE-PROGRAM release USER-NO         lets the board number USER-NO (and the
#                                                                   installation number made from it) go
#
# The seed rows make desk member 8001 of the program's built-in service number. It works on the
# database through its socket, as the page service does.
set -euo pipefail

service_bin=$1
desk=${2:?desk member number (e.g. 8001), or release}
book=${QENTARA_HOME:-${XDG_DATA_HOME:-$HOME/.local/share}/QentaraZp}
db_port=${QENTARA_DB_PORT:-15432}
pass_file="$book/server/pages.pass"
[ -s "$pass_file" ] || { echo "No community server under $book: start ./dev server first." >&2; exit 1; }

args=(--db-host "$book/server/pgdata" --db-port "$db_port" --db-name qntzpsvr01 --db-user qntzp_pages)
if [ "$desk" = release ]; then
  args+=(--release "${3:?the board number to let go}")
else
  args+=(--desk "$desk")
  if [ $# -ge 4 ]; then args+=(--answer-to "$3" --text "$4"); fi
fi
PGPASSWORD=$(cat "$pass_file") exec "$service_bin" "${args[@]}"
