#!/usr/bin/env bash
# Stands in for the game (and for wine): shows what the game would receive.
echo "================ the game was started ================"
echo "program:        $1"
shift
echo "arguments:      $*"
echo "working folder: $(pwd)"
echo "---------------- BaseEF/tarvex.cfg ----------------"
sed 's/\r$//' BaseEF/tarvex.cfg
echo "======================================================"
