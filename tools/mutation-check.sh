#!/bin/sh
# How much the tests catch: a seeded sample of small wrong changes to the
# core, each built and tested on its own (tools/mutation-check.py does the
# work; this is its name in the README). Options: --count N --seed S
# --build DIR --list. Run it from a clone of its own: it changes src/ while
# it runs (and puts every change back).
exec python3 "$(dirname "$0")/mutation-check.py" "$@"
