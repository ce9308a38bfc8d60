#!/usr/bin/env bash
# Prints how long zenlet takes from its start to its first toolbar event, and from a quit
# command to its end, over several runs of `zenlet --batch` with the built-in emulator and
# a fresh data directory each.
#
#   tools/zenlet/startup-time.sh [path/to/zenlet] [runs]
set -euo pipefail
zenlet=${1:-build/release/tools/zenlet/zenlet}
runs=${2:-20}
[ -x "$zenlet" ] || { echo "no zenlet program at $zenlet (build it first)" >&2; exit 2; }

now_us() { echo $(( $(date +%s%N) / 1000 )); }
data=$(mktemp -d)
trap 'rm -rf "$data"' EXIT

starts=()
ends=()
for ((run = 0; run < runs; run++)); do
  began=$(now_us)
  coproc ZENLET { exec "$zenlet" --batch --data-dir "$data/$run" 2>/dev/null; }
  while IFS= read -r line <&"${ZENLET[0]}"; do
    [[ $line == '{"event":"toolbar"'* ]] && break
  done
  starts+=($(( $(now_us) - began )))
  began=$(now_us)
  echo '{"cmd":"quit"}' >&"${ZENLET[1]}"
  pid=$ZENLET_PID
  while IFS= read -r line <&"${ZENLET[0]}"; do :; done
  wait "$pid" || true
  ends+=($(( $(now_us) - began )))
done

summary() {
  local sorted
  sorted=($(printf '%s\n' "$@" | sort -n))
  local count=${#sorted[@]}
  printf 'min %d ms, median %d ms, max %d ms' $(( sorted[0] / 1000 )) \
    $(( sorted[count / 2] / 1000 )) $(( sorted[count - 1] / 1000 ))
}
echo "start to first toolbar event ($runs runs): $(summary "${starts[@]}")"
echo "quit to the end of the process ($runs runs): $(summary "${ends[@]}")"
