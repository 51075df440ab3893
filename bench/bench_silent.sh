#!/usr/bin/env bash
# Times the built program's unattended installation of the 5,000-file, 100 MB benchmark package
# into 4 versions x 3 language folders against cp -r of the same files into the same folders,
# and a dry run of it against a plain listing of the package, in the same run.
#
#   bench/bench_silent.sh [repetitions]     (after the bench preset's build; files go to /dev/shm)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-5}
exe=build/bench/src/instalador
maker=build/bench/bench/bench_install
[ -x "$exe" ] && [ -x "$maker" ] || { echo "build the bench preset first" >&2; exit 2; }
base=${BENCH_DIR:-$([ -d /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")}
root=$(mktemp -d "$base/instalador-bench-silent.XXXXXX")
trap 'rm -rf "$root"' EXIT
pkg=$root/pacote
echo "making the package (5,000 files, 100 MB) in $base..."
"$maker" --make-package "$pkg"

machine() {
  rm -rf "$root/m"
  for v in 14.0 15.0 16.0 17.0; do
    mkdir -p "$root/m/pf/Freedom Scientific/Jaws/$v"
    for l in ENU PTB PTG; do
      mkdir -p "$root/m/ad/Freedom Scientific/JAWS/$v/Settings/$l"
      mkdir -p "$root/m/au/Freedom Scientific/JAWS/$v/Settings/$l"
      printf '[ConfigNames]\r\nwordpad=wordpad\r\n' \
        >"$root/m/au/Freedom Scientific/JAWS/$v/Settings/$l/confignames.ini"
    done
  done
}
now() { date +%s.%N; }
since() { awk -v a="$(now)" -v b="$1" 'BEGIN { printf "%.6f", a - b }'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.6f", a / b }'; }
median() { sort -g | awk '{ a[NR] = $1 } END { print a[int((NR + 1) / 2)] }'; }
run_silent() {
  env programfiles="$root/m/pf" appdata="$root/m/ad" allusersprofile="$root/m/au" \
    "$exe" --silent --versions all --package-dir "$pkg" "$@" 2>/dev/null
}

silent=() copy=() dry=() list=() list12=()
for ((r = 0; r < runs; r++)); do
  machine; sync
  t=$(now); run_silent >/dev/null; silent+=("$(since "$t")")
  machine; sync
  t=$(now)
  for d in "$root"/m/ad/Freedom\ Scientific/JAWS/*/Settings/*; do cp -r "$pkg/pastascripts/." "$d"; done
  copy+=("$(since "$t")")
  machine
  t=$(now); lines=$(run_silent --dry-run | wc -l); dry+=("$(since "$t")")
  t=$(now); find "$pkg/pastascripts" -type f >/dev/null; list+=("$(since "$t")")
  t=$(now)
  for ((i = 0; i < 12; i++)); do find "$pkg/pastascripts" -type f -printf '%p %s\n' >/dev/null; done
  list12+=("$(since "$t")")
done
s=$(printf '%s\n' "${silent[@]}" | median); c=$(printf '%s\n' "${copy[@]}" | median)
d=$(printf '%s\n' "${dry[@]}" | median); l=$(printf '%s\n' "${list[@]}" | median)
l12=$(printf '%s\n' "${list12[@]}" | median)
echo "medians of $runs runs:"
printf '  instalador --silent, 5,000 files into 12 folders: %.3f s\n' "$s"
printf '  cp -r of the same files into the same folders:    %.3f s   ratio %.2fx\n' "$c" \
  "$(ratio "$s" "$c")"
printf '  instalador --silent --dry-run (%s plan lines):  %.3f s\n' "$lines" "$d"
printf '  find of the package (one listing):              %.3f s   ratio %.1fx\n' "$l" \
  "$(ratio "$d" "$l")"
printf '  find of it 12 times, with sizes (one per folder): %.3f s   ratio %.1fx\n' "$l12" \
  "$(ratio "$d" "$l12")"
