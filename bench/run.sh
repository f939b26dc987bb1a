#!/usr/bin/env bash
# make bench: runs every benchmark program, then every bench/*.sh scenario, against build folder $1.
set -euo pipefail
build=${1:-build-bench}
here=$(cd "$(dirname "$0")" && pwd)
status=0
for program in "$build"/bench/bench_*; do
  [ -x "$program" ] || continue
  echo "== $(basename "$program")"
  "$program" || status=1
done
for scenario in "$here"/*.sh; do
  [ "$(basename "$scenario")" = run.sh ] && continue
  echo "== $(basename "$scenario" .sh)"
  bash "$scenario" "$build" || status=1
done
exit $status
