#!/usr/bin/env bash
# Runs a Windows test beside a Linux program that serves it on loopback: starts the program,
# hands the first line it prints (its address) to the test in an environment variable, runs
# the test, and stops the program again. A program serving https:// prints its certificate
# in PEM form after the address; the test gets it in VARIABLE_CERTIFICATE.
#   with_linux_peer.sh VARIABLE PROGRAM [ARGUMENTS...] -- TEST COMMAND...
set -euo pipefail
variable=$1
shift
peer=()
while [ "$#" -gt 0 ] && [ "$1" != "--" ]; do
  peer+=("$1")
  shift
done
shift
if [ ! -x "${peer[0]}" ]; then
  echo "${peer[0]} is missing: the Linux build (cmake --workflow --preset dev) makes it" >&2
  exit 1
fi

output=$(mktemp)
unset http_proxy https_proxy HTTP_PROXY HTTPS_PROXY
"${peer[@]}" >"$output" 2>/dev/null &
pid=$!
trap 'kill "$pid" 2>/dev/null || true; wait "$pid" 2>/dev/null || true; rm -f "$output"' EXIT
address=
for _ in $(seq 1 200); do
  address=$(head -n 1 "$output")
  [ -n "$address" ] && break
  kill -0 "$pid" 2>/dev/null || { echo "${peer[0]} ended before serving" >&2; exit 1; }
  sleep 0.05
done
[ -n "$address" ] || { echo "${peer[0]} printed no address" >&2; exit 1; }
export "$variable=$address"
if [[ "$address" == https://* ]]; then
  for _ in $(seq 1 200); do
    grep -q -- '-----END CERTIFICATE-----' "$output" && break
    sleep 0.05
  done
  grep -q -- '-----END CERTIFICATE-----' "$output" ||
    { echo "${peer[0]} printed no certificate" >&2; exit 1; }
  export "${variable}_CERTIFICATE=$(sed -n '2,$p' "$output")"
fi
"$@"
