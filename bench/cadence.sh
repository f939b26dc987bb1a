#!/usr/bin/env bash
# Cadence of output 1 on a virtual COM port: a reader holds the port for 60 s while the headless
# runner sends one group per 1000 ms; prints the groups received, the mean interval, the worst
# deviation of one interval from 1000 ms and the worst drift from the 1000 ms grid.
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

# One time stamp (microseconds) per group: its RMC sentence opens it.
exec 3<"$work/ports/COM3"
start=${EPOCHREALTIME/./}
while :; do
  now=${EPOCHREALTIME/./}
  (( now - start >= seconds * 1000000 )) && break
  IFS= read -r -t 3 line <&3 || continue
  case $line in '$GPRMC'*) echo "${EPOCHREALTIME/./}" ;; esac
done >"$work/stamps"
exec 3<&-

awk -v seconds="$seconds" '
  { t[NR] = $1 / 1000 }
  END {
    if (NR < 2) { print "cadence: fewer than two groups received"; exit 1 }
    worst = 0; drift = 0
    for (i = 2; i <= NR; i++) {
      d = t[i] - t[i - 1] - 1000; if (d < 0) d = -d; if (d > worst) worst = d
      g = t[i] - t[1] - (i - 1) * 1000; if (g < 0) g = -g; if (g > drift) drift = g
    }
    printf "cadence: %d groups in %d s, mean interval %.3f ms, worst interval deviation %.3f ms, worst drift from the grid %.3f ms\n",
           NR, seconds, (t[NR] - t[1]) / (NR - 1), worst, drift
  }' "$work/stamps"
