#!/bin/sh
# Runs the engine test in a network namespace of its own, with loopback as its
# only interface: no packet of the test server can leave this machine, whatever
# it is told (a master server, a heartbeat, an address off loopback).
if ! unshare --net true 2>/dev/null; then
  echo "SKIPPED: the engine test needs a network namespace of its own (unshare --net, as root)"
  exit 0
fi
# Without its loopback up, nothing reaches the server: a failure, never a silent run.
exec unshare --net sh -c 'ip link set lo up 2>/dev/null || ifconfig lo up 2>/dev/null ||
  { echo "the engine test cannot bring up its loopback (install iproute2)" >&2; exit 1; }; exec "$@"' sh "$@"
