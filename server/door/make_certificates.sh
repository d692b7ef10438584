#!/usr/bin/env bash
# The door's certificates, made once: a local certificate authority and, signed by it, the door's own
# certificate for 127.0.0.1 and localhost (and the names given, e.g. DNS:zupu.example.org). The program
# trusts the authority through the setting "server_ca" (README.md); a door on the internet takes a
# certificate from a public authority instead, which the program trusts as the system does.
#
#   server/door/make_certificates.sh FOLDER [SUBJECT-ALT-NAME...]
#
# FOLDER receives ca.crt and ca.key (the authority), door.crt and door.key. Files already there are kept.
set -euo pipefail
dir=$1
shift
names="IP:127.0.0.1,DNS:localhost"
for name in "$@"; do names="$names,$name"; done
mkdir -p "$dir"
cd "$dir"
umask 077
if [ ! -s ca.key ] || [ ! -s ca.crt ]; then
  openssl req -x509 -new -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout ca.key -out ca.crt \
    -days 3650 -subj "/CN=Qentara community server local authority" \
    -addext "basicConstraints=critical,CA:TRUE" -addext "keyUsage=critical,keyCertSign,cRLSign" 2>/dev/null
  rm -f door.crt
fi
if [ ! -s door.key ] || [ ! -s door.crt ]; then
  openssl req -new -newkey ec -pkeyopt ec_paramgen_curve:P-256 -nodes -keyout door.key -out door.csr \
    -subj "/CN=Qentara community server" 2>/dev/null
  printf 'subjectAltName=%s\nbasicConstraints=critical,CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=serverAuth\n' \
    "$names" >door.ext
  openssl x509 -req -in door.csr -CA ca.crt -CAkey ca.key -CAcreateserial -out door.crt -days 825 \
    -extfile door.ext 2>/dev/null
  rm -f door.csr door.ext ca.srl
fi
chmod 644 ca.crt door.crt
