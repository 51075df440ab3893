#!/usr/bin/env bash
# The first second under Orca (bench build; Xvfb, openbox, D-Bus and Orca as in the Orca
# end-to-end test): RUNS fresh starts of the GTK front end and of a plain GTK 3 program with the
# same widgets, alternately; for each, the silent starts and the median and 90th percentile of
# the time to Orca's first word. PER_ORCA > 1 lets one Orca hear that many starts of each.
#   RUNS=100 bench/orca_first_speech.sh
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset bench >/dev/null
cmake --build --preset bench -j2 --target instalador instalador-gtk reference_gtk_window >/dev/null
exec /usr/bin/python3 bench/orca_first_speech.py "$PWD/build/bench" "${RUNS:-20}" "${PER_ORCA:-1}"
