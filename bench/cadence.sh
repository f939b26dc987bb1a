#!/usr/bin/env bash
# Cadence of output 1 on a virtual COM port: a reader holds the port for 60 s while the headless
# runner sends one group per 1000 ms; bench/tools/cadence_reader compares each group's arrival
# with the time it carries (the runner's schedule is aligned to the system clock), prints the
# median and worst lateness, and fails only on a real miss: a group lost, carried times off the
# 1000 ms grid, a median lateness over 10 ms, or one group over 100 ms late.
set -euo pipefail
build=${1:-build-bench}
seconds=${CADENCE_SECONDS:-60}
tolvex="$build/tolvex"
[ -x "$tolvex" ] || { echo "cadence: $tolvex not built" >&2; exit 1; }

work=$(mktemp -d /tmp/tolvex-cadence-XXXXXX)
runner=""
cleanup() {
  if [ -n "$runner" ]; then kill "$runner" 2>/dev/null || true; wait "$runner" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

printf '[Tolvex]\r\nOutput1Active=1\r\nOutput1Virtual=1\r\nOutput1Port=3\r\nOutput1Interval=1000\r\n' >"$work/Tolvex.ini"
"$tolvex" run --config "$work/Tolvex.ini" --virtual-dir "$work/ports" --seconds $((seconds + 5)) 2>"$work/run.err" &
runner=$!
for _ in $(seq 500); do [ -L "$work/ports/COM3" ] && break; sleep 0.01; done
[ -L "$work/ports/COM3" ] || { echo "cadence: no virtual port" >&2; cat "$work/run.err" >&2; exit 1; }

reader="$build/bench/cadence_reader"
[ -x "$reader" ] || { echo "cadence: $reader not built" >&2; exit 1; }
"$reader" "$work/ports/COM3" "$seconds" 1000
