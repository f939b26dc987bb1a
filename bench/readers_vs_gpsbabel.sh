#!/usr/bin/env bash
# A million-point GPX through `tolvex export` and through gpsbabel's NMEA writer: wall time and
# peak memory of both, and the ratios against the targets (ours <= 0.2 of gpsbabel's time and
# <= 0.75 of its memory). Loading alone (`tolvex info`) must stay under a second. Also loads of a
# 100,000-point KML and a million-point .trk, per million points.
set -euo pipefail
build=${1:-build-bench}
tolvex="$build/tolvex"
writer="$build/bench/bench_readers_load"
for tool in "$tolvex" "$writer" /usr/bin/time gpsbabel; do
  command -v "$tool" >/dev/null || { echo "readers_vs_gpsbabel: $tool is missing" >&2; exit 1; }
done

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
"$writer" --write "$dir"
echo "files: big.gpx $(($(stat -c %s "$dir/big.gpx") / 1000000)) MB, big.kml $(($(stat -c %s "$dir/big.kml") / 1000000)) MB, big.trk $(($(stat -c %s "$dir/big.trk") / 1000000)) MB"

# Prints "seconds peak-KiB" of one run; the command's own output is dropped.
measure() {
  /usr/bin/time -f "%e %M" -o "$dir/time" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; return 1; }
  cat "$dir/time"
}

read -r ours_s ours_kib < <(measure "$tolvex" export "$dir/big.gpx" -o "$dir/ours.nmea" --mode P)
read -r babel_s babel_kib < <(measure gpsbabel -t -i gpx -f "$dir/big.gpx" -o nmea -F "$dir/gpsbabel.nmea")
read -r info_s info_kib < <(measure "$tolvex" info "$dir/big.gpx")
read -r kml_s kml_kib < <(measure "$tolvex" info "$dir/big.kml")
read -r trk_s trk_kib < <(measure "$tolvex" info "$dir/big.trk")

awk -v os="$ours_s" -v ok="$ours_kib" -v bs="$babel_s" -v bk="$babel_kib" -v is="$info_s" -v ik="$info_kib" \
    -v ks="$kml_s" -v kk="$kml_kib" -v ts="$trk_s" -v tk="$trk_kib" 'BEGIN {
  printf "%-44s %8s %10s\n", "", "wall s", "peak MiB"
  printf "%-44s %8.2f %10.1f\n", "tolvex export big.gpx --mode P (1M points)", os, ok / 1024
  printf "%-44s %8.2f %10.1f\n", "gpsbabel -t -i gpx -o nmea", bs, bk / 1024
  printf "%-44s %8.2f %10.2f   (target <= 0.20 / <= 0.75)\n", "ratio tolvex / gpsbabel", os / bs, ok / bk
  printf "%-44s %8.2f %10.1f   (target < 1 s)\n", "tolvex info big.gpx (load only)", is, ik / 1024
  printf "%-44s %8.2f %10.1f   (per million points: %.2f s)\n", "tolvex info big.kml (100k points)", ks, kk / 1024, ks * 10
  printf "%-44s %8.2f %10.1f\n", "tolvex info big.trk (1M points)", ts, tk / 1024
  failed = 0
  if (os / bs > 0.2) { print "MISSED: export time ratio above 0.2"; failed = 1 }
  if (ok / bk > 0.75) { print "MISSED: export memory ratio above 0.75"; failed = 1 }
  if (is >= 1) { print "MISSED: loading the GPX took 1 s or more"; failed = 1 }
  exit failed
}'
