#!/usr/bin/env bash
# Fan-out of a TCP server output: the headless runner sends one group per 200 ms to 1000 clients
# on loopback for 60 s; bench/tools/fanout_clients prints the groups every client received, the
# runner's CPU and the slowest client's worst lateness, and fails when they miss the targets
# (every group at every client, under 5 % of one core, none over 5 ms late). It first prints the
# machine's own floor: how late the last client gets a message from a bare sender that does nothing
# else, so a miss can be told from the kernel's cost of loopback sends.
set -euo pipefail
build=${1:-build-bench}
seconds=${FANOUT_SECONDS:-60}
clients=${FANOUT_CLIENTS:-1000}
tolvex="$build/tolvex"
tool="$build/bench/fanout_clients"
[ -x "$tolvex" ] || { echo "fanout: $tolvex not built" >&2; exit 1; }
[ -x "$tool" ] || { echo "fanout: $tool not built" >&2; exit 1; }
# A descriptor for every client on both sides.
ulimit -n "$(( clients * 2 + 64 ))" 2>/dev/null || ulimit -n "$(ulimit -Hn)"

work=$(mktemp -d /tmp/tolvex-fanout-XXXXXX)
runner=""
cleanup() {
  if [ -n "$runner" ]; then kill "$runner" 2>/dev/null || true; wait "$runner" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

"$tool" --floor "$clients" || echo "fanout: the floor could not be measured" >&2

printf '[Tolvex]\r\nOutput1Interval=200\r\n' >"$work/Tolvex.ini"
"$tolvex" run --config "$work/Tolvex.ini" --virtual-dir "$work/ports" --seconds $((seconds + 10)) \
  --output "1=tcp-listen:127.0.0.1:0?clients=$clients" 2>"$work/run.err" &
runner=$!
port=""
for _ in $(seq 500); do
  port=$(sed -n 's/^TCP 127\.0\.0\.1:\([0-9]*\) listening$/\1/p' "$work/run.err")
  [ -n "$port" ] && break
  sleep 0.01
done
[ -n "$port" ] || { echo "fanout: the server did not start" >&2; cat "$work/run.err" >&2; exit 1; }
"$tool" "$port" "$clients" "$seconds" 200 "$runner"
