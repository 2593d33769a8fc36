#!/usr/bin/env bash
# Runs every benchmark (bench/*.py drivers; each prints its own report), then,
# where 32-bit programs run natively, the start-up and "/auto" benchmarks again
# with the shipped i686 exe. Ends with the ratios against their goals, the
# shipped exe's size among them.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
cd "$here"
bash scripts/setup-machine.sh
cmake --preset i686 >/dev/null && cmake --build build/i686
cmake --preset x86_64 >/dev/null && cmake --build build/x86_64
scripts/make-prefix.sh "$here/build/x86_64/wine/template"
display=${QUELLIX_BENCH_DISPLAY:-89}
scripts/xvfb.sh start "$display"
trap 'scripts/xvfb.sh stop "$display"' EXIT
export DISPLAY=:$display QUELLIX_SOURCE_DIR="$here" QUELLIX_BINARY_DIR="$here/build/x86_64" \
  PYTHONPATH="$here/tests/e2e"
summary=$(mktemp)
trap 'scripts/xvfb.sh stop "$display"; rm -f "$summary"' EXIT
status=0

# run_drivers LABEL DRIVER...: each driver's report, its ratio lines kept.
run_drivers() {
  local label=$1 b out
  shift
  for b in "$@"; do
    echo "== $b ($label)"
    out=$(python3 "$b") || status=1
    printf '%s\n' "$out"
    printf '%s\n' "$out" | sed -n "s/^RATIO /$label: /p" >>"$summary"
  done
}

uptime
run_drivers "x86_64" bench/*.py

# The shipped exe as a WoW64 process, against the yardsticks built for i686
# too. Not "/postins": the shipped exe posts to the real analytics host, and
# nothing here leaves loopback.
# Under qemu-user its overhead drowns the figures (scripts/i386_mode.py).
case $(python3 scripts/i386_mode.py) in
  native)
    # The shipped exe has no timing marks: the benchmarks time a marked build of it.
    cmake --build build/i686 --target bench_quellix bench_startup_minimal bench_stop_scripts
    QUELLIX_EXE="$here/build/i686/bench/quellix.exe" QUELLIX_BENCH_DIR="$here/build/i686/bench" \
      run_drivers "i686" bench/startup_paint.py bench/stop_auto.py ;;
  qemu) echo "(32-bit programs run through qemu-user here: no i686 figures)" ;;
  *) echo "(32-bit programs do not run here: no i686 figures)" ;;
esac

size=$(stat -c %s build/i686/quellix.exe)
echo "== the shipped exe"
echo "build/i686/quellix.exe: $size bytes"
awk -v s="$size" 'BEGIN { printf "i686: exe size / 600 KB: %.2f (goal <= 1.00)\n", s / 600000 }' >>"$summary"
echo "== ratios (load: $(cut -d' ' -f1-3 /proc/loadavg))"
cat "$summary"
exit $status
