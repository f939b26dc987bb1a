#!/usr/bin/env bash
# Start-up of the headless commands against the yardstick of a minimal C++ program that reads the
# same file (bench/tools/read_file): `tolvex info` on a ten-point track and
# `tolvex run --seconds 0 --stdout` (a run that feeds nothing fails, so standard output is fed).
# Each is timed as the best of STARTUP_ROUNDS rounds (default 5) of 20 runs, its rounds interleaved
# with the yardstick's so that other load on the machine weighs on both. Target: within 2x.
set -euo pipefail
build=${1:-build-bench}
tolvex="$build/tolvex"
yardstick="$build/bench/read_file"
rounds=${STARTUP_ROUNDS:-5}
runs=20
for tool in "$tolvex" "$yardstick"; do
  [ -x "$tool" ] || { echo "startup: $tool not built" >&2; exit 1; }
done
dir=$(mktemp -d /tmp/tolvex-startup-XXXXXX)
trap 'rm -rf "$dir"' EXIT

{
  printf 'OziExplorer Track Point File Version 2.1\r\nWGS 84\r\nAltitude is in Feet\r\nReserved 3\r\n'
  printf '0,2,255,Bench,0,0,2,8421376\r\n10\r\n'
  for i in 0 1 2 3 4 5 6 7 8 9; do printf '48.10%02d000,11.5000000,0,1640.4,40097.50%02d,,\r\n' "$i" "$i"; done
} >"$dir/tiny.plt"
printf '[Tolvex]\r\nOutput1Active=0\r\n' >"$dir/Tolvex.ini"

# Microseconds one run of the command takes, averaged over a round.
round() {
  local start end
  start=$(date +%s%N)
  for ((i = 0; i < runs; ++i)); do "$@" >/dev/null 2>&1 || { echo "startup: failed: $*" >&2; exit 1; }; done
  end=$(date +%s%N)
  echo $(((end - start) / runs / 1000))
}

best_read=999999999 best_info=999999999 best_run=999999999
for ((r = 0; r < rounds; ++r)); do
  t=$(round "$yardstick" "$dir/tiny.plt"); ((t < best_read)) && best_read=$t
  t=$(round "$tolvex" info "$dir/tiny.plt" --config "$dir/Tolvex.ini"); ((t < best_info)) && best_info=$t
  t=$(round "$tolvex" run --seconds 0 --stdout --config "$dir/Tolvex.ini" --virtual-dir "$dir/ports"); ((t < best_run)) && best_run=$t
done

awk -v y="$best_read" -v i="$best_info" -v r="$best_run" -v load="$(cut -d' ' -f1 /proc/loadavg)" 'BEGIN {
  printf "start-up, best of rounds of 20 runs (load average %s)\n", load
  printf "%-40s %8.2f ms\n", "minimal C++ program reading tiny.plt", y / 1000
  printf "%-40s %8.2f ms   ratio %.2f (target <= 2)\n", "tolvex info tiny.plt (10 points)", i / 1000, i / y
  printf "%-40s %8.2f ms   ratio %.2f (target <= 2)\n", "tolvex run --seconds 0", r / 1000, r / y
  failed = 0
  if (i / y > 2) { print "MISSED: tolvex info starts more than 2x slower than the minimal program"; failed = 1 }
  if (r / y > 2) { print "MISSED: tolvex run --seconds 0 takes more than 2x the minimal program"; failed = 1 }
  exit failed
}'
