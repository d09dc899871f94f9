#!/bin/sh
# Checks the systemd unit with systemd-analyze, the program path pointed at
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
echo "the unit verifies"
