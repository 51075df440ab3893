#!/usr/bin/env bash
# Prints the GTK front end's start-up figures (bench build, Xvfb + openbox + a D-Bus session):
#  - time from process start to the main window mapped, JawsRoot with 50 versions, welcome sound
#    on (SDL; its dummy output where there is no sound card), as a ratio to a plain GTK 3
#    program with the same widgets (reference_gtk_window: the like-for-like baseline) and to
#    one that maps an empty window, measured alternately in the same run;
#  - the peak resident memory of both up to that point;
#  - the same start with the silent sound device, to tell what SDL costs.
#   RUNS=30 bench/gtk_startup.sh
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
cmake --preset bench >/dev/null
cmake --build --preset bench -j2 --target instalador instalador-gtk empty_gtk_window \
  reference_gtk_window window_map_timer >/dev/null
build=$root/build/bench

sandbox=$(mktemp -d "${TMPDIR:-/tmp}/instalador-bench-gtk.XXXXXX")
trap 'rm -rf "$sandbox"' EXIT
for i in $(seq 1 50); do mkdir -p "$sandbox/pf/Freedom Scientific/JAWS/$i.0"; done
export programfiles="$sandbox/pf" appdata="$sandbox/ad" allusersprofile="$sandbox/au"
unset INSTALADOR_SOUND

/usr/bin/python3 - "$build" "$root" "${RUNS:-20}" <<'PY'
import os, statistics, subprocess, sys
build, root, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])
sys.path.insert(0, os.path.join(root, 'tests', 'e2e'))
import desktop

timer = os.path.join(build, 'bench', 'window_map_timer')
programs = {
    'instalador --ui=gtk': [os.path.join(build, 'src', 'instalador'), '--ui=gtk',
                            '--package-dir', os.path.join(root, 'examples', 'pacote')],
    # The installer's main window as offered here: four versions ticked off the newest.
    'reference GTK window': [os.path.join(build, 'bench', 'reference_gtk_window'),
                             'Instalação do pacote', 'Versões do JAWS encontradas', '50.0',
                             '49.0', '48.0', '47.0'],
    'empty GTK 3 window': [os.path.join(build, 'bench', 'empty_gtk_window')],
    # What the sound costs: the same start with the silent device.
    'instalador, silent': ['env', 'INSTALADOR_SOUND=silent',
                           os.path.join(build, 'src', 'instalador'), '--ui=gtk',
                           '--package-dir', os.path.join(root, 'examples', 'pacote')],
}
with desktop.Desktop() as desk:
    env = {k: v for k, v in os.environ.items() if k not in ('NO_AT_BRIDGE', 'GTK_MODULES')}
    env['DISPLAY'] = desk.display
    script = ('import subprocess, sys, json\n'
              'programs = json.loads(sys.argv[1]); runs = int(sys.argv[2])\n'
              'out = {name: [] for name in programs}\n'
              'for i in range(runs + 1):\n'
              '    for name, cmd in programs.items():\n'
              '        r = subprocess.run([sys.argv[3]] + cmd, stdout=subprocess.PIPE, check=True)\n'
              '        r.stdout = r.stdout.splitlines()[-1]\n'
              '        if i: out[name].append([float(x) for x in r.stdout.split()])\n'
              'print(json.dumps(out))\n')
    import json
    result = subprocess.run(['timeout', '600', 'dbus-run-session', '--', sys.executable, '-c',
                             script, json.dumps(programs), str(runs), timer], env=env,
                            stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, check=True)
    # The accessibility registry, started on demand, writes a line of its own first.
    figures = json.loads(result.stdout.splitlines()[-1])
ms = {name: statistics.median(r[0] for r in rows) for name, rows in figures.items()}
kib = {name: statistics.median(r[1] for r in rows) for name, rows in figures.items()}
for name in programs:
    print(f'{name:22} start to window mapped (median of {runs}): {ms[name]:7.1f} ms, '
          f'peak RSS {kib[name] / 1024:6.1f} MiB')
for base in ('reference GTK window', 'empty GTK 3 window'):
    print(f'against the {base}: start-up ratio {ms["instalador --ui=gtk"] / ms[base]:.2f}, '
          f'peak memory ratio {kib["instalador --ui=gtk"] / kib[base]:.2f}')
PY
