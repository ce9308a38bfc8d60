#!/usr/bin/env bash
# Runs one fuzz target for a given time. What it learns goes to its working corpus in the
# build folder; the seed folders are only read. libFuzzer's whole output goes to LOG and its
# closing figures (executions, coverage, corpus) to standard output. A crash, a leak, a hang,
# a sanitizer report or a broken property fails the run, and the input that did it is kept in
# ARTIFACTS.
#
#   run-fuzzer.sh PROGRAM SECONDS MAX_LEN WORK_DIR ARTIFACTS LOG DICTIONARY|- SEED_DIR...
set -uo pipefail

program=$1 seconds=$2 max_len=$3 work=$4 artifacts=$5 log=$6 dictionary=$7
shift 7
mkdir -p "$work" "$artifacts" "$(dirname "$log")"

options=(
  -max_total_time="$seconds"
  -max_len="$max_len"
  -timeout=10        # one input taking longer is a hang
  -rss_limit_mb=2048
  -print_final_stats=1
  -artifact_prefix="$artifacts/"
)
[ "$dictionary" = - ] || options+=(-dict="$dictionary")

seeds=()
for folder in "$@"; do
  [ -d "$folder" ] && seeds+=("$folder")
done

"$program" "${options[@]}" "$work" "${seeds[@]}" >"$log" 2>&1
status=$?
grep -E '^(stat::|#[0-9]+ +DONE|Done [0-9]+ runs)' "$log"
if [ $status -ne 0 ]; then
  echo "$(basename "$program") failed (exit $status); the end of $log:"
  tail -n 60 "$log"
fi
exit $status
