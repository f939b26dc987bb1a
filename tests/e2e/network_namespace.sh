#!/usr/bin/env bash
# Runs inside a user, network and mount namespace of its own (unshare -rnm): a private loopback, a
# pair of virtual interfaces joined only to each other, a private system bus and avahi-daemon. Starts the runner with a
# server output announced on that network and two UDP outputs, to a multicast group and to the
# broadcast address, and prints what the peers saw, one "name: value" line each.
set -u
tolvex=$1
work=$2
ip link set lo up
ip link add tvx0 type veth peer name tvx1
ip link set tvx0 multicast on up
ip link set tvx1 multicast on up
ip addr add 10.77.0.1/24 brd 10.77.0.255 dev tvx0
ip route add 224.0.0.0/4 dev tvx0
mount -t tmpfs tmpfs /run
mkdir -p /run/dbus /run/avahi-daemon

cat >"$work/bus.conf" <<'CONF'
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>unix:path=/run/dbus/system_bus_socket</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <allow own="*"/>
    <allow send_destination="*"/>
    <allow receive_sender="*"/>
  </policy>
</busconfig>
CONF
cat >"$work/avahi.conf" <<'CONF'
[server]
use-ipv4=yes
use-ipv6=no
allow-interfaces=tvx0
ratelimit-interval-usec=0
[wide-area]
enable-wide-area=no
[publish]
publish-hinfo=no
publish-workstation=no
CONF

pids=()
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; wait 2>/dev/null; }
trap cleanup EXIT

dbus-daemon --config-file="$work/bus.conf" --nofork --nopidfile 2>"$work/dbus.err" &
pids+=($!)
for _ in $(seq 100); do [ -S /run/dbus/system_bus_socket ] && break; sleep 0.05; done
avahi-daemon --no-drop-root --no-chroot --no-rlimits -f "$work/avahi.conf" 2>"$work/avahi.err" &
pids+=($!)
for _ in $(seq 100); do grep -q "Server startup complete" "$work/avahi.err" && break; sleep 0.05; done
echo "avahi: $(grep -c 'Server startup complete' "$work/avahi.err")"

timeout 10 socat -u UDP4-RECV:10112,ip-add-membership=239.255.77.1:10.77.0.1 OPEN:"$work/multicast.txt",creat 2>/dev/null &
pids+=($!)
timeout 10 socat -u UDP4-RECV:10113,broadcast OPEN:"$work/broadcast.txt",creat 2>/dev/null &
pids+=($!)
sleep 0.3

"$tolvex" run --config "$work/Tolvex.ini" --virtual-dir "$work/ports" --seconds 6 \
  --output 1=tcp-listen:0.0.0.0:10111 --output 2=udp:239.255.77.1:10112 --output 3=udp:10.77.0.255:10113 \
  2>"$work/tolvex.err" &
runner=$!
sleep 2
echo "browse: $(timeout 5 avahi-browse -rtp _nmea-0183._tcp 2>/dev/null | grep '^=' | head -n 1)"
wait $runner
echo "runner: $?"
echo "multicast: $(grep -c '^\$GPRMC' "$work/multicast.txt" 2>/dev/null)"
echo "broadcast: $(grep -c '^\$GPRMC' "$work/broadcast.txt" 2>/dev/null)"
# Once the runner closed, the service is withdrawn.
sleep 1.5
echo "after: $(timeout 3 avahi-browse -rtp _nmea-0183._tcp 2>/dev/null | grep -c '^=')"
