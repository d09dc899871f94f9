#!/usr/bin/env bash
# Stands in for the game (and for wine): shows what the game would receive,
# then stays up for a while as a server does, answering a status question on
# its port (a launch of a dedicated server succeeds once it answers). What it
# prints goes to the game's log, which "tarvex-cli log" shows.
echo "================ the game was started ================"
echo "program:        $1"
shift
echo "arguments:      $*"
echo "working folder: $(pwd)"
script=tarvex.cfg
for word in "$@"; do [ "${previous:-}" != +exec ] || script=$word; previous=$word; done
echo "---------------- BaseEF/$script ----------------"
sed 's/\r$//' "BaseEF/$script"
echo "======================================================"
# The server's answer: its name, its first map and the start's identity, on the script's port.
port=$(sed -n 's/^+\{0,1\}seta\{0,1\} net_port "\{0,1\}\([0-9]*\).*/\1/p' "BaseEF/$script" | tail -1)
name=$(sed -n 's/^seta sv_hostname "\(.*\)"\r\{0,1\}$/\1/p' "BaseEF/$script" | head -1)
map=$(sed -n 's/^Set m1 ".*map \([^;]*\);.*/\1/p' "BaseEF/$script" | head -1)
identity= previous=
for word in "$@"; do [ "${previous:-}" != tarvex_id ] || identity=$word; previous=$word; done
seconds=${TARVEX_DEMO_SECONDS:-15}
if ! command -v python3 >/dev/null; then
  echo "(python3 is missing: this stand-in cannot answer on its port)"
  exec sleep "$seconds"
fi
exec python3 - "${port:-27960}" "$name" "$map" "$identity" "$seconds" <<'PY'
import socket, sys, time
port, name, map_name, identity, seconds = int(sys.argv[1]), *sys.argv[2:5], float(sys.argv[5])
server = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
server.bind(("127.0.0.1", port))
server.settimeout(0.25)
print(f"answering status questions on 127.0.0.1:{port}", flush=True)
info = f"\\sv_hostname\\{name}\\mapname\\{map_name}\\sv_maxclients\\8\\tarvex_id\\{identity}"
end = time.monotonic() + seconds
while time.monotonic() < end:
    try:
        question, asker = server.recvfrom(2048)
    except socket.timeout:
        continue
    if question.startswith(b"\xff\xff\xff\xffgetstatus"):
        server.sendto(b"\xff\xff\xff\xffstatusResponse\n" + info.encode("latin-1", "replace") + b"\n", asker)
PY
