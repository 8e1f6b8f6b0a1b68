#!/usr/bin/env bash
# Makes the certificates of the TLS tests and benchmark in folder $1 (PEM, RSA 2048): a CA
# (ca.crt), a server certificate for localhost and 127.0.0.1 (server.crt, server.key), a client
# certificate (client.crt, client.key), the server's key certified for another name
# (wrongname.crt) and for a time that is over (expired.crt), and a CA nobody trusts with a server
# certificate of its own (stranger.crt, stranger.key).
set -euo pipefail
out=$1
mkdir -p "$out"
cd "$out"
key() { openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out "$1" 2>/dev/null; }
authority() {  # name key cert
  key "$2"
  openssl req -x509 -new -key "$2" -out "$3" -days 30 -subj "/CN=$1" \
    -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign 2>/dev/null
}
# The CA's own small database, so that `openssl ca` can set any validity period.
issue() {  # ca-key ca-cert request out start end extensions
  mkdir -p ca.db && : >ca.db/index.txt && [ -f ca.db/serial ] || echo 1000 >ca.db/serial
  cat >ca.db/ca.cnf <<CONF
[ca]
default_ca = test
[test]
dir = ca.db
database = ca.db/index.txt
serial = ca.db/serial
new_certs_dir = ca.db
default_md = sha256
policy = any
unique_subject = no
copy_extensions = none
[any]
commonName = supplied
[leaf]
basicConstraints = CA:FALSE
keyUsage = critical,digitalSignature,keyEncipherment
extendedKeyUsage = serverAuth,clientAuth
subjectAltName = $7
CONF
  openssl ca -batch -config ca.db/ca.cnf -keyfile "$1" -cert "$2" -in "$3" -out "$4" \
    -startdate "$5" -enddate "$6" -extensions leaf -notext >/dev/null 2>&1
}
request() { openssl req -new -key "$1" -out "$2" -subj "/CN=$3" 2>/dev/null; }
now=$(date -u -d '-1 day' +%Y%m%d%H%M%SZ)
later=$(date -u -d '+30 days' +%Y%m%d%H%M%SZ)

authority "Pella Test CA" ca.key ca.crt
key server.key
request server.key server.csr localhost
issue ca.key ca.crt server.csr server.crt "$now" "$later" "DNS:localhost,IP:127.0.0.1"
issue ca.key ca.crt server.csr expired.crt 20200101000000Z 20200201000000Z "DNS:localhost,IP:127.0.0.1"
issue ca.key ca.crt server.csr wrongname.crt "$now" "$later" "DNS:elsewhere.invalid"
key client.key
request client.key client.csr "Pella Test Client"
issue ca.key ca.crt client.csr client.crt "$now" "$later" "DNS:client.invalid"
authority "Stranger CA" stranger-ca.key stranger-ca.crt
key stranger.key
request stranger.key stranger.csr localhost
rm -rf ca.db
issue stranger-ca.key stranger-ca.crt stranger.csr stranger.crt "$now" "$later" "DNS:localhost,IP:127.0.0.1"
rm -rf ca.db ./*.csr
