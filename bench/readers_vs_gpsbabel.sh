#!/usr/bin/env bash
# A million points as GPX, KML and .plt through `tolvex export` and through gpsbabel's NMEA writer:
# wall time and peak memory of both, the best of BENCH_RUNS runs each (default 2, interleaved so
# that other load weighs on both), and the ratios against the targets: time <= 0.14 of
# gpsbabel's for GPX, <= 0.18 for KML, <= 0.07 for .plt; memory <= 0.75 for GPX, <= 0.25 for KML.
# Each export is also held against the I/O limit, reading its input with cat and writing its
# output's size with dd: within 6x. Loading alone (`tolvex info`) of the GPX must stay under a
# second; the .trk load is printed. A ratio fails beyond its target by more than the 10 % that
# runs vary by on a quiet machine.
set -euo pipefail
export LC_ALL=C  # the clock and awk agree on the decimal point
build=${1:-build-bench}
tolvex="$build/tolvex"
writer="$build/bench/bench_readers_load"
runs=${BENCH_RUNS:-2}
for tool in "$tolvex" "$writer" /usr/bin/time gpsbabel; do
  command -v "$tool" >/dev/null || { echo "readers_vs_gpsbabel: $tool is missing" >&2; exit 1; }
done

dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
"$writer" --write "$dir"
: >"$dir/none.ini"
sizes=""
for f in big.gpx big.kml big.plt big.trk; do sizes+=" $f $(($(stat -c %s "$dir/$f") / 1000000)) MB"; done
echo "files (1M points each):$sizes; load average $(cut -d' ' -f1 /proc/loadavg)"

# Prints "seconds peak-KiB" of one run; the command's own output is dropped. The time is the
# shell's clock to the microsecond: time's own hundredths would move a ratio against a tenth of a
# second by up to 12 % on rounding alone.
measure() {
  local start=$EPOCHREALTIME end
  /usr/bin/time -f "%M" -o "$dir/time" "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; return 1; }
  end=$EPOCHREALTIME
  echo "$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.4f", b - a }') $(cat "$dir/time")"
}
# The least time and the least peak of "$runs" runs of a command that writes the file $1 (removed
# before each run, so that no run pays the kernel's truncation of the one before; "-" for none).
best() {
  local s k best_s=1e9 best_k=1e12 out=$1
  shift
  for ((r = 0; r < runs; ++r)); do
    [ "$out" = - ] || rm -f "$out"
    read -r s k < <(measure "$@")
    best_s=$(awk -v a="$s" -v b="$best_s" 'BEGIN { print (a < b ? a : b) }')
    best_k=$(awk -v a="$k" -v b="$best_k" 'BEGIN { print (a < b ? a : b) }')
  done
  echo "$best_s $best_k"
}
# The I/O limit of an export: its input read and its output's bytes written, by cat and dd.
io_limit() {
  local blocks=$(( ($(stat -c %s "$2") + 65535) / 65536 ))
  best "$dir/io.out" bash -c "cat '$1' >/dev/null && dd if=/dev/zero of='$dir/io.out' bs=64K count=$blocks status=none"
}

report=""
for format in gpx:gpx kml:kml plt:ozi; do
  ext=${format%%:*}
  read -r ours_s ours_kib < <(best "$dir/ours.$ext.nmea" "$tolvex" export "$dir/big.$ext" -o "$dir/ours.$ext.nmea" \
    --mode P --config "$dir/none.ini")
  read -r babel_s babel_kib < <(best "$dir/gpsbabel.nmea" gpsbabel -t -i "${format#*:}" -f "$dir/big.$ext" -o nmea \
    -F "$dir/gpsbabel.nmea")
  read -r io_s _ < <(io_limit "$dir/big.$ext" "$dir/ours.$ext.nmea")
  records=$(grep -c '^\$GPRMC' "$dir/ours.$ext.nmea" || true)
  [ "$records" = 1000000 ] || { echo "readers_vs_gpsbabel: big.$ext exported $records records, not 1000000" >&2; exit 1; }
  report+="$ext $ours_s $ours_kib $babel_s $babel_kib $io_s "
  rm -f "$dir/gpsbabel.nmea" "$dir/ours.$ext.nmea" "$dir/io.out"
done
read -r info_s info_kib < <(best - "$tolvex" info "$dir/big.gpx" --config "$dir/none.ini")
read -r trk_s trk_kib < <(best - "$tolvex" info "$dir/big.trk" --config "$dir/none.ini")

echo "$report $info_s $info_kib $trk_s $trk_kib" | awk '{
  split("0.14 0.18 0.07", timeTarget, " "); split("0.75 0.25 0", memoryTarget, " ")
  margin = 1.1
  printf "%-30s %8s %10s %10s %10s %9s %9s\n", "export, 1M points", "tolvex s", "gpsbabel s", "time ratio",
         "mem ratio", "I/O s", "x I/O"
  failed = 0
  for (f = 0; f < 3; ++f) {
    ext = $(6 * f + 1); os = $(6 * f + 2); ok = $(6 * f + 3); bs = $(6 * f + 4); bk = $(6 * f + 5); io = $(6 * f + 6)
    tr = os / bs; mr = ok / bk; xr = os / io
    printf "%-30s %8.3f %10.2f %5.3f/%-4s %5.2f/%-4s %9.3f %5.1f/6\n", "tolvex export big." ext " --mode P", os, bs,
           tr, timeTarget[f + 1], mr, memoryTarget[f + 1] ? memoryTarget[f + 1] : "-", io, xr
    if (tr > timeTarget[f + 1] * margin) { print "MISSED: " ext " export time ratio above " timeTarget[f + 1]; failed = 1 }
    if (memoryTarget[f + 1] && mr > memoryTarget[f + 1] * margin) {
      print "MISSED: " ext " export memory ratio above " memoryTarget[f + 1]; failed = 1
    }
    if (xr > 6 * margin) { print "MISSED: " ext " export more than 6x the I/O limit"; failed = 1 }
    mem[ext] = ok / 1024
  }
  printf "peak MiB of tolvex export: gpx %.1f, kml %.1f, plt %.1f\n", mem["gpx"], mem["kml"], mem["plt"]
  printf "%-30s %8.3f s %8.1f MiB   (target < 1 s)\n", "tolvex info big.gpx (load)", $19, $20 / 1024
  printf "%-30s %8.3f s %8.1f MiB\n", "tolvex info big.trk (load)", $21, $22 / 1024
  if ($19 >= 1 * margin) { print "MISSED: loading the GPX took 1 s or more"; failed = 1 }
  exit failed
}'
