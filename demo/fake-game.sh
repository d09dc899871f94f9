#!/usr/bin/env bash
# Stands in for the game (and for wine): shows what the game would receive.
# The window keeps a started game's output for its own report, so the demo
# also writes it to the file named by TARVEX_DEMO_REPORT.
if [ -n "${TARVEX_DEMO_REPORT:-}" ] && [ -z "${TARVEX_DEMO_REPORTING:-}" ]; then
  TARVEX_DEMO_REPORTING=1 "$0" "$@" | tee "$TARVEX_DEMO_REPORT"
  exit "${PIPESTATUS[0]}"
fi
echo "================ the game was started ================"
echo "program:        $1"
shift
echo "arguments:      $*"
echo "working folder: $(pwd)"
echo "---------------- BaseEF/tarvex.cfg ----------------"
sed 's/\r$//' BaseEF/tarvex.cfg
echo "======================================================"
