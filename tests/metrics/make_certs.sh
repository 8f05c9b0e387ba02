#!/usr/bin/env bash
# Makes the TLS material of the metrics tests in folder $1 with openssl, fresh each run:
#   ca.crt                     the test CA
#   server.crt server.key      127.0.0.1 and localhost, signed by the CA
#   renewed.crt renewed.key    the same names with another key, for a reload
#   rsa.crt rsa.key            the same names with an RSA key
#   server.pub renewed.pub     their public keys
#   client.crt client.key      a client signed by the CA
#   expired.crt expired.key    a client signed by the CA, valid only in 2020
#   stranger.crt stranger.key  a client signed by another CA
# usage: make_certs.sh DIR
set -euo pipefail
dir=$1
mkdir -p "$dir"
cd "$dir"

key() { openssl genpkey -algorithm EC -pkeyopt ec_paramgen_curve:P-256 -out "$1.key" 2>/dev/null; }
ca() {
  key "$1"
  openssl req -x509 -new -key "$1.key" -subj "/CN=qrvl test $1" -days 2 -out "$1.crt" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign 2>/dev/null
}
# Certificate $1 for $2 (a CN), signed by CA $3, with extensions $4; a new EC key unless
# $1.key is there.
signed() {
  [ -f "$1.key" ] || key "$1"
  printf '%s\n' "$4" >"$1.ext"
  openssl req -new -key "$1.key" -subj "/CN=$2" -out "$1.csr" 2>/dev/null
  openssl x509 -req -in "$1.csr" -CA "$3.crt" -CAkey "$3.key" -CAcreateserial -days 2 -extfile "$1.ext" \
    -out "$1.crt" 2>/dev/null
}

ca ca
ca other
server='subjectAltName=IP:127.0.0.1,DNS:localhost
extendedKeyUsage=serverAuth'
signed server localhost ca "$server"
signed renewed localhost ca "$server"
openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out rsa.key 2>/dev/null
signed rsa localhost ca "$server"
signed client prometheus ca 'extendedKeyUsage=clientAuth'
signed stranger prometheus other 'extendedKeyUsage=clientAuth'

# openssl x509 takes no start date; openssl ca does, with a database of its own.
key expired
openssl req -new -key expired.key -subj /CN=prometheus -out expired.csr 2>/dev/null
: >index
cat >ca.cnf <<EOF
[ca]
default_ca = test
[test]
database = index
serial = ca.srl
new_certs_dir = .
default_md = sha256
policy = anything
[anything]
commonName = supplied
EOF
openssl ca -batch -config ca.cnf -cert ca.crt -keyfile ca.key -in expired.csr -out expired.crt -notext \
  -startdate 20200101000000Z -enddate 20200102000000Z 2>/dev/null

# The servers' public keys, for a client that pins the one it expects.
for name in server renewed; do openssl pkey -in "$name.key" -pubout -out "$name.pub"; done
