#!/bin/sh
# Runs the id Tech 3 dedicated server in place of the game, as TARVEX_GAME_RUNNER:
# receives the game's executable and Tarvex's command line, starts ioq3ded on
# this machine's loopback only, without master servers, in the working folder
# (the game folder, whose BaseEF holds the engine's data). A server type that
# would heartbeat (dedicated 2) or an address off loopback is never used.
# TARVEX_ENGINE_PIDFILE receives the server's PID, TARVEX_ENGINE_HOME is its
# home folder, TARVEX_ENGINE_LOG its console output (when unset, the output
# goes where Tarvex sends the game's).
set -eu
shift  # the game's executable
args=""
previous=""
for word in "$@"; do
  [ "$previous" != dedicated ] || word=1
  if [ "$previous" = net_ip ] && [ "$word" != 127.0.0.1 ] && [ "$word" != localhost ]; then
    echo "ioq3ded-runner: refusing net_ip $word: the engine test runs on loopback only" >&2
    exit 1
  fi
  args="$args '$(printf '%s' "$word" | sed "s/'/'\\\\''/g")'"
  previous=$word
done
echo $$ > "$TARVEX_ENGINE_PIDFILE"
eval "set -- $args"
[ -z "${TARVEX_ENGINE_LOG:-}" ] || exec >"$TARVEX_ENGINE_LOG" 2>&1
exec /usr/lib/ioquake3/ioq3ded +set fs_basepath "$(pwd)" +set fs_homepath "$TARVEX_ENGINE_HOME" \
  +set com_basegame BaseEF +set net_ip 127.0.0.1 +set net_enabled 1 \
  +set sv_master1 "" +set sv_master2 "" +set sv_master3 "" +set sv_master4 "" +set sv_master5 "" \
  +set com_homepath tarvex-engine "$@" </dev/null
