#!/usr/bin/env bash
# Prints start-up and whole-session figures of the headless program (release build):
#  - start-up: process start to the `show` line, JawsRoot with 50 versions, welcome sound on
#    (silent device), as a ratio to starting and ending /bin/true in the same run;
#  - a whole session: start, install of the example package into 2 versions x 2 languages, end:
#    wall time and peak resident memory.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
cmake --preset release >/dev/null
cmake --build --preset release --target instalador >/dev/null
exe=$root/build/release/src/instalador
runs=${RUNS:-200}

sandbox=$(mktemp -d "${TMPDIR:-/tmp}/instalador-bench.XXXXXX")
trap 'rm -rf "$sandbox"' EXIT
for i in $(seq 1 50); do mkdir -p "$sandbox/pf/Freedom Scientific/JAWS/$i.0"; done
# Startversion 11 and NTFS order offer 20.0 and 19.0 first.
for v in 19.0 20.0; do
  for l in ENU PTB; do
    mkdir -p "$sandbox/ad/Freedom Scientific/JAWS/$v/Settings/$l"
    mkdir -p "$sandbox/au/Freedom Scientific/JAWS/$v/Settings/$l"
    printf '[ConfigNames]\r\n' >"$sandbox/au/Freedom Scientific/JAWS/$v/Settings/$l/confignames.ini"
    echo jsb >"$sandbox/au/Freedom Scientific/JAWS/$v/Settings/$l/default.jsb"
    echo jsd >"$sandbox/au/Freedom Scientific/JAWS/$v/Settings/$l/default.jsd"
  done
done
export programfiles="$sandbox/pf" appdata="$sandbox/ad" allusersprofile="$sandbox/au"
export INSTALADOR_SOUND=silent

python3 - "$exe" "$root/examples/pacote" "$runs" <<'PY'
import subprocess, sys, time
exe, package, runs = sys.argv[1], sys.argv[2], int(sys.argv[3])

def startup():
    start = time.perf_counter()
    p = subprocess.Popen([exe, '--ui=headless', '--package-dir', package],
                         stdin=subprocess.PIPE, stdout=subprocess.PIPE)
    for line in p.stdout:
        if line.startswith(b'show '):
            elapsed = time.perf_counter() - start
            break
    p.stdin.close()
    p.wait()
    return elapsed

def true():
    start = time.perf_counter()
    subprocess.run(['/bin/true'])
    return time.perf_counter() - start

for f in (startup, true):
    f()  # warm the caches
a = sorted(startup() for _ in range(runs))[runs // 2]
b = sorted(true() for _ in range(runs))[runs // 2]
print(f'start-up to show, 50 versions, sound on (median of {runs}): {a*1000:.2f} ms')
print(f'/bin/true start and end (median of {runs}):              {b*1000:.2f} ms')
print(f'ratio: {a/b:.2f}')
PY

for i in 1 2 3; do
  rm -rf "$sandbox/ad/Freedom Scientific/JAWS"/*/Settings/*/*
  /usr/bin/time -f '%e %M' -o "$sandbox/time" "$exe" --ui=headless --package-dir "$root/examples/pacote" \
    >/dev/null <<<$'click Check1(1)\nclick Command1'
  read -r wall rss <"$sandbox/time"
  echo "whole session (start, install 2 versions x 2 languages, end), run $i: wall ${wall} s, peak RSS ${rss} KiB"
done
