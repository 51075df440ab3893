#!/usr/bin/env bash
# Prints the time from a process's start to the moment Orca speaks its window's title, for the
# GTK front end and for a plain GTK 3 program with the same widgets (bench build; Xvfb, openbox,
# D-Bus and Orca as in the Orca end-to-end test), alternately in one run: medians and ratio.
#   RUNS=20 bench/orca_first_speech.sh
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset bench >/dev/null
cmake --build --preset bench -j2 --target instalador instalador-gtk reference_gtk_window >/dev/null
exec /usr/bin/python3 bench/orca_first_speech.py "$PWD/build/bench" "${RUNS:-10}"
