#!/bin/sh
# Checks the systemd unit with systemd-analyze (verify, and its sandbox's
# exposure at most 3.0), the program path pointed at
# the tarvex-cli just built. Usage: unit-check.sh UNIT TARVEX_CLI
set -eu
if ! command -v systemd-analyze >/dev/null 2>&1; then
  echo "SKIPPED: systemd-analyze is not installed"
  exit 0
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
sed "s|^ExecStart=[^ ]*|ExecStart=$2|" "$1" > "$work/tarvex@.service"
# Every finding is a failure; a template is checked as an instance.
out=$(cd "$work" && systemd-analyze verify --man=no ./tarvex@.service 2>&1) || { echo "$out"; exit 1; }
[ -z "$out" ] || { echo "$out"; exit 1; }
grep -q '^ExecStart=.* run --slot %i --log -$' "$work/tarvex@.service"
# Its sandbox, as systemd rates it: the game faces the internet.
exposure=$(cd "$work" && systemd-analyze security --offline=yes --root=/ ./tarvex@.service 2>/dev/null |
  sed -n 's/.*Overall exposure level for [^:]*: \([0-9.]*\).*/\1/p')
[ -n "$exposure" ] || { echo "systemd-analyze security rated nothing"; exit 1; }
awk -v e="$exposure" 'BEGIN { exit !(e <= 3.0) }' || { echo "the unit's exposure is $exposure, above 3.0"; exit 1; }
echo "the unit verifies; its exposure is $exposure"
