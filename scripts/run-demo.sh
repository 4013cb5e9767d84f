#!/usr/bin/env bash
# Installs what is missing, builds Pitlink and its tools, then runs Pitlink
# against the simulator substitute with the bundled 24-driver session.
# Pitlink gets its own data folder (and so its own settings file) under
# build/demo, so a user's real settings are never touched. Ctrl+C stops both.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
bash scripts/install-deps.sh build
cmake -S . -B build -DPITLINK_TESTS=OFF -DPITLINK_BENCH=OFF >/dev/null
cmake --build build -j"$(nproc)" --target pitlink pitlink-sim pitlink-client

demo=$root/build/demo
mkdir -p "$demo/data/pitlink" "$demo/documents" "$demo/runtime"
chmod 700 "$demo/runtime"

# The first free port from 47812 on (bash's /dev/tcp connects when taken).
port=47812
while (exec 3<>"/dev/tcp/127.0.0.1/$port") 2>/dev/null; do port=$((port + 1)); done
# The same for the browser dashboard, from 47813 on.
webport=47813
while [ "$webport" = "$port" ] || (exec 3<>"/dev/tcp/127.0.0.1/$webport") 2>/dev/null; do
    webport=$((webport + 1))
done

cat > "$demo/data/pitlink/pitlink.ini" <<INI
[main]
autostartserver=true
port=$port
webport=$webport

[paths]
iracingdocument=$demo/documents
INI

pids=()
stop() {
    trap - INT TERM EXIT
    echo
    echo "Stopping Pitlink and the simulator substitute..."
    for pid in "${pids[@]}"; do kill -TERM "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
}
trap stop INT TERM EXIT

# The substitute reads commands from stdin; keep it open with a fifo that
# this script holds.
rm -f "$demo/sim.in"; mkfifo "$demo/sim.in"
exec 4<>"$demo/sim.in"
build/tools/sim/pitlink-sim --documents "$demo/documents" <&4 > "$demo/sim.log" 2>&1 &
pids+=($!)
for _ in $(seq 100); do grep -q '^ready' "$demo/sim.log" 2>/dev/null && break; sleep 0.1; done

export XDG_DATA_HOME=$demo/data XDG_RUNTIME_DIR=$demo/runtime
if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    echo "No display found: Pitlink runs on Qt's offscreen platform (no window is shown)."
    export QT_QPA_PLATFORM=offscreen
fi
build/pitlink > "$demo/pitlink.log" 2>&1 &
pids+=($!)

# Pitlink writes the pairing address to its debug output once the dashboard
# listens (the server starts a second after Pitlink).
pairing=
for _ in $(seq 100); do
    pairing=$(sed -n 's/^Pairing address: //p' "$demo/pitlink.log" 2>/dev/null | tail -n 1)
    [ -n "$pairing" ] && break
    sleep 0.1
done

cat <<TXT

Pitlink is running against the simulator substitute; its server starts on port $port.
TXT
if [ -n "$pairing" ]; then
    cat <<TXT
Pair a phone or tablet on the same network: scan this code with its camera,
or open the address under it in its browser (the same code as "Pair a phone"
in Pitlink's tool bar).

TXT
    # The same encoder and error correction as Pitlink's window, as
    # block characters, with the quiet zone that readers need.
    qrencode -t UTF8 -l M -8 -m 4 "$pairing"
    echo
    echo "    $pairing"
else
    echo "The dashboard did not start (see $demo/pitlink.log)."
fi
cat <<TXT

Ask it from another terminal, for example:
    $root/build/tools/client/pitlink-client 127.0.0.1 $port 208
    $root/build/tools/client/pitlink-client 127.0.0.1 $port 207
Steer the substitute:  echo "window gone" > $demo/sim.in   (window front|back|gone, restart)
What it received (chat macros, keys): $demo/sim.log
Pitlink's debug output: $demo/pitlink.log
Press Ctrl+C to stop.
TXT
wait "${pids[1]}" || true
