#!/usr/bin/env bash
# Stands in for the game (and for wine): shows what the game would receive,
# then stays up for a while as a server does (a game that ends within a
# second of its start is reported as not started). What it prints goes to
# the game's log, which "tarvex-cli log" shows.
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
exec sleep "${TARVEX_DEMO_SECONDS:-15}"
