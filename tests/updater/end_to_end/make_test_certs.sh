#!/usr/bin/env bash
# usage: make_test_certs.sh DIR
# Makes in DIR, with the openssl command alone: a test CA (ca.pem, ca.key),
# one server key (server.key) and certificates for it, each wrong in one
# way only:
#   good.pem        for DNS:localhost and IP:127.0.0.1, signed by the CA
#   expired.pem     the same names, valid in 2020 only
#   notyet.pem      the same names, valid from 2090
#   wrongname.pem   signed by the CA for DNS:wrong.example and IP:10.9.9.9
#   selfsigned.pem  for localhost and 127.0.0.1, signed by its own key
set -eu
dir=$1
mkdir -p "$dir/issued"
cd "$dir"
: >index.txt
echo 1000 >serial
cat >ca.cnf <<'CONF'
[ca]
default_ca = test_ca
[test_ca]
dir = .
database = ./index.txt
new_certs_dir = ./issued
serial = ./serial
default_md = sha256
policy = any_name
unique_subject = no
copy_extensions = none
[any_name]
commonName = supplied
[server]
basicConstraints = critical, CA:FALSE
keyUsage = critical, digitalSignature, keyEncipherment
extendedKeyUsage = serverAuth
subjectKeyIdentifier = hash
authorityKeyIdentifier = keyid
subjectAltName = $ENV::TEST_SAN
CONF

quiet() { "$@" 2>openssl.err || { cat openssl.err >&2; exit 1; }; }
quiet openssl req -x509 -newkey rsa:2048 -nodes -keyout ca.key -out ca.pem -days 3650 -sha256 \
  -subj "/CN=Tavo Test CA" -addext "basicConstraints=critical,CA:TRUE" \
  -addext "keyUsage=critical,keyCertSign,cRLSign"
quiet openssl genpkey -algorithm RSA -pkeyopt rsa_keygen_bits:2048 -out server.key
quiet openssl req -new -key server.key -subj "/CN=localhost" -out server.csr

# issue NAME SAN START END: the server key's certificate signed by the CA.
issue() {
  TEST_SAN=$2 quiet openssl ca -batch -notext -config ca.cnf -cert ca.pem -keyfile ca.key \
    -extensions server -startdate "$3" -enddate "$4" -in server.csr -out "$1.pem"
}
now=$(date -u +%Y%m%d%H%M%SZ)
later=$(date -u -d '+30 days' +%Y%m%d%H%M%SZ)
issue good "DNS:localhost,IP:127.0.0.1" "$now" "$later"
issue expired "DNS:localhost,IP:127.0.0.1" 20200101000000Z 20201231000000Z
issue notyet "DNS:localhost,IP:127.0.0.1" 20900101000000Z 20901231000000Z
issue wrongname "DNS:wrong.example,IP:10.9.9.9" "$now" "$later"
quiet openssl req -x509 -key server.key -out selfsigned.pem -days 30 -sha256 -subj "/CN=localhost" \
  -addext "subjectAltName=DNS:localhost,IP:127.0.0.1"
