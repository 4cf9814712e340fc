#!/bin/bash
# Screenshots of the centre's coincidence pages: a broker, the centre and
# three simulated stations sharing a sky on this machine, whose whole
# records reach the centre's store (checked byte for byte), then the status page and a coincidence of all three stations taken by
# chromium headless. Usage: tools/coincidence-shots.sh BUILD_DIR OUT_DIR [SECONDS]
set -euo pipefail
build=$(realpath "$1"); out=$(realpath "$2"); seconds=${3:-60}
work=$(mktemp -d); trap 'kill $(jobs -p) 2>/dev/null; rm -rf "$work"' EXIT
free_port() { python3 -c 'import socket; s=socket.socket(); s.bind(("127.0.0.1",0)); print(s.getsockname()[1])'; }
port=$(free_port); http=$(free_port)
printf 'listener %s 127.0.0.1\nallow_anonymous true\n' "$port" > "$work/broker.conf"
/usr/sbin/mosquitto -c "$work/broker.conf" > "$work/broker.log" 2>&1 &
mkdir -p "$work/store"
until python3 -c "import socket; socket.create_connection(('127.0.0.1',$port))" 2>/dev/null; do sleep 0.2; done
"$build/centre/vfon-centre" --broker "mqtt://127.0.0.1:$port" --store "$work/store" --http "127.0.0.1:$http" \
  > "$work/centre.log" 2>&1 &
printf '[SOFTWARE\\Virtual Tools LTD\\Drivers\\1.0\\Lan10m8PCI]\npath=%s\n' "$build/libLan10m8Sim.so" > "$work/hive.ini"
positions=("0,0" "60,0" "0,60")
pids=()
for i in 1 2 3; do
  mkdir -p "$work/st$i"
  VFON_HIVE="$work/hive.ini" LAN10M8SIM_SKY=2026 LAN10M8SIM_SKY_PER_MINUTE=30 LAN10M8SIM_POSITION=${positions[$((i-1))]} \
    LAN10M8SIM_EVENTS_PER_MINUTE=2 QT_QPA_PLATFORM=offscreen \
    "$build/app/vfon" --headless --seconds "$seconds" --data-dir "$work/st$i" --publish "mqtt://127.0.0.1:$port" \
    --station "st$i" > "$work/st$i.log" 2>&1 &
  pids+=($!)
done
wait "${pids[@]}"
# A clean stop waits for the receipts: the centre's copies are the stations' files.
for i in 1 2 3; do
  for f in "$work/st$i"/*.Rad; do cmp "$f" "$work/store/st$i/$(basename "$f")"; done
done
# The first coincidence of all three stations, once the centre has it.
for _ in $(seq 100); do
  # of three stations, each at its own Δt, so the three traces stand apart
  id=$(awk -F, 'NR>1 && $4==3 {k=$1; if (!((k, $9) in seen)) {seen[k, $9]; d[k]++}; if (d[k]==3) {print k; exit}}' \
    "$work/store/coincidences.csv" 2>/dev/null || true)
  [ -n "$id" ] && break; sleep 0.3
done
[ -n "$id" ] || { echo "no coincidence of three stations" >&2; exit 1; }
shot() { chromium --headless --no-sandbox --disable-gpu --hide-scrollbars --virtual-time-budget=5000 \
  --window-size="$3" --screenshot="$out/$2" "http://127.0.0.1:$http/$1" 2>/dev/null; }
shot "coincidence/$id" coincidence-page.png 1200,1500
shot "" coincidence-status.png 1400,1300
echo "coincidence $id"; cp "$work/store/coincidences.csv" "$out/coincidences-sample.csv"
