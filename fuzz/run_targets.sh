#!/usr/bin/env bash
# Runs every built fuzz target once from its seed corpus (fuzz/corpus/<name>)
# and the corpus it grew before (build/asan/corpus/<name>), with the libFuzzer
# limits given (e.g. -max_total_time=20 or -runs=1000000), then prints per
# target the executions, executions per second, coverage (edges, features)
# and inputs added. A crash, an input slower than 10 s or a leak fails the
# run and shows the end of that target's log (build/asan/<name>.log).
set -euo pipefail
cd "$(dirname "$0")/.."

stat() { sed -n "s/^stat::$1: *//p" "$2" | tail -n 1; }
last() { grep -o "$1: [0-9]*" "$2" | tail -n 1 | cut -d' ' -f2; }

# Inputs longer than this cost more than they find: the receive path starts
# from a control already deep in a run and the pad from power-on, so a few
# hundred bytes of steps reach every state; libFuzzer's default (up to 4 KiB,
# each byte a step with time passing) made one input cost milliseconds.
# Limits given on the command line come later and win.
#
# receive keeps one control for every input, and what a run leaves in it
# (buffers grown, texts moved between fields) often ends an input with more
# allocations than frees: libFuzzer then runs that input again and scans the
# whole heap for a leak, which halved its executions. LeakSanitizer still
# checks the whole process when it exits, and a leak found there fails the run.
limits() {
  case $1 in
    receive) echo -max_len=512 -detect_leaks=0 ;;
    pinpad) echo -max_len=512 ;;
  esac
}

printf '%-10s %12s %9s %7s %8s %6s\n' target executions exec/s cov features added
for t in build/asan/fuzz/*_fuzz; do
  name=$(basename "$t" _fuzz)
  log=build/asan/$name.log
  mkdir -p "build/asan/corpus/$name"
  seeds=()
  if [ -d "fuzz/corpus/$name" ]; then seeds=("fuzz/corpus/$name"); fi
  # shellcheck disable=SC2046
  if ! "$t" $(limits "$name") "$@" -timeout=10 -print_final_stats=1 "build/asan/corpus/$name" \
       "${seeds[@]}" >"$log" 2>&1; then
    tail -n 60 "$log"
    echo "fuzz target $name failed; its log: $log" >&2
    exit 1
  fi
  printf '%-10s %12s %9s %7s %8s %6s\n' "$name" "$(stat number_of_executed_units "$log")" \
    "$(stat average_exec_per_sec "$log")" "$(last cov "$log")" "$(last ft "$log")" \
    "$(stat new_units_added "$log")"
done
