#!/usr/bin/env bash
# make fuzz: runs every fuzz target of build folder $1 for $2 seconds each (default 60), one at
# a time, seeded from the test fixtures. Fails when any target finds a crash, a leak, undefined
# behaviour or a timeout; the input that did it is kept in $1/fuzz-artifacts/.
set -euo pipefail
build=${1:-build-fuzz}
seconds=${2:-60}
here=$(cd "$(dirname "$0")" && pwd)
data="$here/../tests/data"
artifacts="$build/fuzz-artifacts"
mkdir -p "$artifacts"

declare -A seeds=(
  [gpx]="$data/gpx $data/reference/ref.gpx $data/reference/parts_route.gpx"
  [kml]="$data/kml $data/reference/ref.kml $data/reference/parts.kml"
  [gpssim]="$data/gpssim $data/reference/ref.gpssim"
  [trk]="$data/trk"
  [plt]="$data/plt $data/reference/ref.plt"
  [nmea_log]="$data/nmea $data/reference/ref.nmea"
  [ini]=""
  [output_target]=""
  [almanac]="$data/almanac"
  [command]=""
  [settings]=""
  [pipeline]=""
  [xml_relay]="$data/gpx $data/kml"
)

status=0
corpus=""
trap '[ -z "$corpus" ] || rm -rf "$corpus"' EXIT
for name in ${FUZZ_TARGETS:-gpx kml gpssim trk plt nmea_log ini output_target almanac command settings pipeline}; do
  target="$build/fuzz/fuzz_$name"
  if [ ! -x "$target" ]; then
    echo "fuzz: $target is missing" >&2
    status=1
    continue
  fi
  corpus=$(mktemp -d)
  for seed in ${seeds[$name]}; do
    if [ -d "$seed" ]; then cp "$seed"/* "$corpus"/ 2>/dev/null || true; elif [ -f "$seed" ]; then cp "$seed" "$corpus"/; fi
  done
  if [ "$name" = output_target ]; then
    for seed in 'tcp-listen:10110?clients=1000' 'tcp:[::1]:5000' 'udp:239.1.2.3:10110?ttl=4' 'tcp-listen:::10110' \
        'serial:/dev/ttyUSB0@4800' 'virtual:COM3'; do
      printf '%s' "$seed" >"$corpus/$(printf '%s' "$seed" | md5sum | cut -c1-8)"
    done
  fi
  if [ "$name" = ini ] || [ "$name" = settings ]; then
    printf '[Tolvex]\r\nOutput1Interval=1000\r\nFontFaceName=" Times "\r\nFavorite1=Home,31.2,121.5,0,0\r\n' >"$corpus/seed.ini"
  fi
  if [ "$name" = pipeline ]; then
    # The first byte picks the reader: 0 plt, 1 gpx, 2 kml, 3 gpssim, 4 trk.
    n=0
    for f in "$data"/reference/ref.plt "$data"/reference/ref.gpx "$data"/reference/ref.kml "$data"/reference/ref.gpssim; do
      { printf "\\x0$n"; cat "$f"; } >"$corpus/seed$n" 2>/dev/null || true
      n=$((n + 1))
    done
  fi
  if [ "$name" = command ]; then
    printf 'goto 48.1 11.5 520\n' >"$corpus/goto"
    printf '@1.5 load "a b.gpx" both # c\n+2 save-favourite 3 home, north\nwait-point 4\n' >"$corpus/script"
  fi
  dict=()
  if [ "$name" = gpx ] || [ "$name" = kml ] || [ "$name" = pipeline ] || [ "$name" = xml_relay ]; then dict=(-dict="$here/xml.dict"); fi
  echo "== fuzz_$name for ${seconds}s"
  if ! "$target" "$corpus" "${dict[@]}" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=2048 \
      -max_len=65536 -print_final_stats=1 -artifact_prefix="$artifacts/${name}-" 2>"$artifacts/$name.log"; then
    echo "fuzz_$name FAILED: see $artifacts/$name.log" >&2
    tail -n 30 "$artifacts/$name.log" >&2
    status=1
  else
    grep -E "^stat::number_of_executed_units|^stat::peak_rss_mb" "$artifacts/$name.log" | tr '\n' ' '
    echo
  fi
  rm -rf "$corpus"
done
exit $status
