#!/usr/bin/env bash
# Hostile track files through `tolvex info`: each must end within the time and peak memory limits
# whatever its size or content. Prints the wall time and peak resident size of each case (from
# /usr/bin/time -v) and fails when a case needs more than 10 s or 300 MB. HOSTILE_JUNK_MB sets the
# size of the junk files (default 1024).
set -euo pipefail
build=${1:-build-bench}
tolvex="$build/tolvex"
junk=${HOSTILE_JUNK_MB:-1024}
[ -x "$tolvex" ] || { echo "hostile: $tolvex not built" >&2; exit 1; }
[ -x /usr/bin/time ] || { echo "hostile: /usr/bin/time is missing (apt-get install time)" >&2; exit 1; }
work=$(mktemp -d /tmp/tolvex-hostile-XXXXXX)
trap 'rm -rf "$work"' EXIT

attributes() {  # an element with n attributes inside a document of the given root
  printf '<%s><x' "$1"
  seq 0 $(($2 - 1)) | awk '{ printf " a%d=\"1\"", $1 }'
  printf '/></%s>' "$1"
}
attributes gpx 200000 >"$work/attributes.gpx"
attributes kml 100000 >"$work/attributes.kml"
truncate -s 50G "$work/sparse.gpx"
mkfifo "$work/fifo.plt"
{ printf 'h\nh\nh\nh\nh\nh\n'; head -c $((junk << 20)) /dev/zero | tr '\0' ','; } >"$work/commas.plt"
{ head -c $((junk << 20)) /dev/zero | tr '\0' ','; } >"$work/commas.gpssim"
{ printf '<kml><Placemark><LineString><coordinates>1,1 2,2 '; head -c $((junk << 20)) /dev/zero | tr '\0' '7'
  printf ' 3,3</coordinates></LineString></Placemark></kml>'; } >"$work/coordinates.kml"
{ printf '<gpx><!--'; head -c $((junk << 20)) /dev/zero | tr '\0' 'c'; printf -- '--><trk><trkseg><trkpt lat="1" lon="1"/><trkpt lat="2" lon="2"/></trkseg></trk></gpx>'; } >"$work/comment.gpx"

status=0
printf '%-18s %10s %10s\n' case seconds peak_MB
for file in attributes.gpx attributes.kml sparse.gpx fifo.plt commas.plt commas.gpssim comment.gpx coordinates.kml; do
  /usr/bin/time -v -o "$work/time.txt" timeout 60 "$tolvex" info "$work/$file" --config "$work/none.ini" \
    >/dev/null 2>&1 || true
  seconds=$(awk -F': ' '/Elapsed \(wall clock\)/ { n = split($2, p, ":"); s = 0; for (i = 1; i <= n; ++i) s = s * 60 + p[i]; print s }' "$work/time.txt")
  peak=$(awk -F': ' '/Maximum resident set size/ { printf "%.1f", $2 / 1024 }' "$work/time.txt")
  printf '%-18s %10s %10s\n' "$file" "$seconds" "$peak"
  if awk -v s="$seconds" -v m="$peak" 'BEGIN { exit !(s > 10 || m > 300) }'; then
    echo "hostile: $file needs more than 10 s or 300 MB" >&2
    status=1
  fi
done
# Beyond the memory there is: the load fails with the format's message, the program goes on.
{ printf '<kml><Placemark><LineString><coordinates>'; head -c $((300 << 20)) /dev/zero | tr '\0' ' '
  printf '1,1 2,2 \n</coordinates></LineString></Placemark></kml>'; } >"$work/big.kml"
code=0
out=$( (ulimit -v 600000; "$tolvex" info "$work/big.kml" --config "$work/none.ini") 2>&1) || code=$?
if [ "$code" -gt 1 ] || { [ "$code" -eq 1 ] && [[ "$out" != *"载入kml文件失败"* ]]; }; then
  echo "hostile: big.kml under ulimit -v 600000 crashed or failed without its message ($code): $out" >&2
  status=1
else
  echo "big.kml under ulimit -v 600000: exit $code, no crash"
fi
exit $status
