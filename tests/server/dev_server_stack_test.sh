#!/usr/bin/env bash
# `./dev server`'s stack as a person starts it (server/dev_server.sh on a book folder of its own and free
# ports): the door answers over TLS with the local authority and refuses plain HTTP, a procedure call
# goes through it, the desk's command lets a claimed number go, the database listens on no network
# address and lets neither the program's old account nor the schema's owner log on, and everything ends
# with the script.
#
#   tests/server/dev_server_stack_test.sh PAGE-SERVICE-PROGRAM
set -uo pipefail

service_bin=$1
here=$(cd "$(dirname "$0")/../.." && pwd)
home=$(mktemp -d "${TMPDIR:-/tmp}/qentara-stack-XXXXXX")
chmod 755 "$home"
failures=0
fail() {
  echo "FAILED: $*" >&2
  failures=$((failures + 1))
}

# Ports of the script's own, held while it runs.
. "$here/tests/support/reserve_port.sh"
reserve_port
db_port=$reserved
reserve_port
page_port=$reserved
reserve_port
door_port=$reserved

QENTARA_HOME="$home" QENTARA_DB_PORT=$db_port QENTARA_PAGE_PORT=$page_port QENTARA_DOOR_PORT=$door_port \
  "$here/server/dev_server.sh" "$service_bin" >"$home/stack.log" 2>&1 &
stack=$!
cleanup() {
  kill -TERM "$stack" 2>/dev/null
  wait "$stack" 2>/dev/null
  pgrep -f "$home" >/dev/null && pkill -KILL -f "$home"
  rm -rf "$home"
}
trap cleanup EXIT

ca="$home/server/tls/ca.crt"
door() {  # sends the request over TLS to the door, trusting the local authority; prints the reply
  printf '%b' "$1" | timeout 10 openssl s_client -quiet -connect "127.0.0.1:$door_port" -CAfile "$ca" \
    -verify_return_error -servername localhost 2>/dev/null
}
for _ in $(seq 1 120); do
  [ -f "$ca" ] && door 'GET /data/newver.txt HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n' | grep -q '^6\.' && break
  kill -0 "$stack" 2>/dev/null || break
  sleep 0.5
done

reply=$(door 'GET /data/newver.txt HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n')
[[ "$reply" == "HTTP/1.1 200"* ]] || fail "the door did not serve the version file: $reply"

body='{"procedure":"sp_trylogon","values":{"@z_user_no":"u1","@z_pswd":"p","@z_pswd2":"p","@z_nick":"n","@z_right":"0","@z_logon_type":"1"}}'
reply=$(door "POST /door/logon HTTP/1.1\r\nHost: x\r\nConnection: close\r\nContent-Type: application/json\r\nContent-Length: ${#body}\r\n\r\n$body")
[[ "$reply" == *'"@z_state":3'* && "$reply" == *'"credential":"'* ]] || fail "a log-on through the door: $reply"

# A number somebody claimed first is let go by the desk, and its installation claims it.
claim() {
  door "GET /flsh/claim.asp?ano=318273645501&soft_no= HTTP/1.1\r\nHost: x\r\nConnection: close\r\nX-Installation-Secret: $(printf '%064d' "$1")\r\n\r\n"
}
[[ "$(claim 1)" == "HTTP/1.1 200"*$'\r\n\r\n1' ]] || fail "the first claim: $(claim 1)"
[[ "$(claim 2)" == "HTTP/1.1 403"* ]] || fail "a second installation's claim was not refused"
released=$(QENTARA_HOME="$home" QENTARA_DB_PORT=$db_port "$here/server/dev_desk.sh" "$service_bin" release 318273645501 2>&1)
[[ "$released" == "Released 318273645501 (1 number): its installation claims it again with its secret." ]] ||
  fail "the desk's release: $released"
[[ "$(claim 2)" == "HTTP/1.1 200"* ]] || fail "the claim after the release: $(claim 2)"

plain=$( (exec 3<>"/dev/tcp/127.0.0.1/$door_port" && printf 'GET / HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n' >&3 &&
  timeout 5 cat <&3) 2>/dev/null | head -1)
[[ "$plain" == "HTTP/1.1 400"* ]] || fail "plain HTTP to the door was not refused: $plain"

# Nothing of the database listens on the network.
(exec 3<>"/dev/tcp/127.0.0.1/$db_port") 2>/dev/null && fail "the database listens on 127.0.0.1:$db_port"
pgbin=$(ls -d /usr/lib/postgresql/*/bin | sort -V | tail -1)
socket="$home/server/pgdata"
for user in qntzpsvr01 qntzp_owner; do
  if PGPASSWORD=h27wd913 PGCONNECT_TIMEOUT=5 "$pgbin/psql" -h "$socket" -p "$db_port" -U "$user" -d qntzpsvr01 \
    -c 'SELECT 1' >/dev/null 2>&1; then
    fail "$user logged on to the database"
  fi
done

kill -TERM "$stack"
wait "$stack"
sleep 1
pgrep -af "$home" >&2 && fail "something of the stack outlived it"
if [ "$failures" -gt 0 ]; then
  echo "--- dev_server.sh said:" >&2
  grep -v ' GET \| POST ' "$home/stack.log" >&2
  exit 1
fi
echo "The stack of ./dev server: door, page service and database as they should be."
