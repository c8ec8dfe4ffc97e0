#!/usr/bin/env bash
# Runs every built fuzz target once from its seed corpus (fuzz/corpus/<name>)
# and the corpus it grew before (build/asan/corpus/<name>), with the libFuzzer
# limits given (e.g. -max_total_time=20 or -runs=1000000), then prints per
# target the executions, executions per second, coverage (edges, features)
# and inputs added. A crash, an input slower than 10 s or a leak fails the
# run and shows the end of that target's log (build/asan/<name>.log).
#
#   --runs-from FILE  each target runs the executions FILE gives it
#                     (lines "<target> <runs>"; fuzz/long_runs.txt)
#   FUZZ_JOBS=N       targets run N at a time (default: one per core)
#   FUZZ_CPUS="0 1"   each target runs once on each core listed, pinned to it,
#                     the copies at the same time (one target after the other):
#                     a row per target and core. This machine's cores are not
#                     equally fast at every moment (the host's load on each
#                     comes and goes), so the same run can differ by more than
#                     half between them; side by side, the difference is the
#                     cores', not the code's.
set -euo pipefail
cd "$(dirname "$0")/.."

stat() { sed -n "s/^stat::$1: *//p" "$2" | tail -n 1; }
last() { grep -o "$1: [0-9]*" "$2" | tail -n 1 | cut -d' ' -f2; }

# Inputs longer than this cost more than they find: libFuzzer's default (up to
# 4 KiB, each byte a step with time passing) made one input cost milliseconds.
# The receive path starts from a control already waiting in any state of a
# real run, so a handful of steps from there is what an input needs: capped
# at 16 bytes it runs about four times as many inputs as at 512 and reaches
# more edges in the same time. The pad's inputs are conversations, each step
# a whole exchange: cut to 64 bytes they reached a tenth fewer edges in the
# same time than at 512.
# Limits given on the command line come later and win.
#
# receive keeps one control for every input, and what a run leaves in it
# (buffers grown, texts moved between fields) often ends an input with more
# allocations than frees: libFuzzer then runs that input again and scans the
# whole heap for a leak, which halved its executions. LeakSanitizer still
# checks the whole process when it exits, and a leak found there fails the run.
#
# The pad's conversations reach nearly 10,000 features, and libFuzzer keeps
# every feature seen fewer than 255 times on its list of rare ones, which it
# searches from end to end for each rare feature an input touches: from a
# grown corpus that search took half of the pad target's time. Counted rare
# below 32 hits the list stays short: from the grown corpus the target ran
# 1.8 times as many inputs in the same minute with the same coverage, and
# from the seeds 400,000 inputs reached as many edges (2,258; three runs with
# the default list reached 2,260 and 2,280 twice).
limits() {
  case $1 in
    receive) echo -max_len=16 -detect_leaks=0 ;;
    pinpad) echo -max_len=512 -entropic_feature_frequency_threshold=32 ;;
    # A saved state is a few hundred bytes; longer inputs only repeat fields.
    statefile) echo -max_len=1024 ;;
    # One call of the longest kind and a short one, or a line over the
    # target's 80-byte cut: each line costs a JSON parse and answer (a broken
    # one more, for its message), and the calls a line needs before it come
    # with the input's first byte.
    bridge) echo -max_len=96 ;;
  esac
}

runs_file=""
if [ "${1:-}" = --runs-from ]; then runs_file=$2; shift 2; fi
runs_for() {
  if [ -n "$runs_file" ]; then awk -v t="$1" '$1 == t { print "-runs=" $2 }' "$runs_file"; fi
}

# A lane is a target, or a target on one core ("receive@1"); its log is
# build/asan/<lane>.log.
target_of() { echo "${1%@*}"; }

run_one() {
  local lane=$1 name log seeds=() pin=()
  shift
  name=$(target_of "$lane")
  log=build/asan/$lane.log
  mkdir -p "build/asan/corpus/$name"
  if [ -d "fuzz/corpus/$name" ]; then seeds=("fuzz/corpus/$name"); fi
  if [[ $lane == *@* ]]; then pin=(taskset -c "${lane#*@}"); fi
  # -reload=0: each target has its corpus folder to itself, and looking for
  # other processes' inputs there lists and stats every file each second
  # (2-4 % of a target's time at 10,000 files). Copies of a target on two
  # cores share the folder and only add to it.
  # shellcheck disable=SC2046
  "${pin[@]}" "build/asan/fuzz/${name}_fuzz" -reload=0 $(limits "$name") $(runs_for "$name") \
    "$@" -timeout=10 -print_final_stats=1 "build/asan/corpus/$name" "${seeds[@]}" >"$log" 2>&1
}

# The slowest targets start first, so the lanes end close together.
targets=()
for name in receive pinpad bridge scenario statefile config request layout; do
  [ -x "build/asan/fuzz/${name}_fuzz" ] && targets+=("build/asan/fuzz/${name}_fuzz")
done
for t in build/asan/fuzz/*_fuzz; do
  [[ " ${targets[*]} " == *" $t "* ]] || targets+=("$t")
done

lanes=()
for t in "${targets[@]}"; do
  name=$(basename "$t" _fuzz)
  if [ -n "${FUZZ_CPUS:-}" ]; then
    for cpu in $FUZZ_CPUS; do lanes+=("$name@$cpu"); done
  else
    lanes+=("$name")
  fi
done

start() {
  (if run_one "$1" "${@:2}"; then rc=0; else rc=$?; fi
   echo "$rc" >"build/asan/$1.status") &
}
if [ -n "${FUZZ_CPUS:-}" ]; then
  # A target's copies start together and the next target waits for them.
  for t in "${targets[@]}"; do
    name=$(basename "$t" _fuzz)
    for cpu in $FUZZ_CPUS; do start "$name@$cpu" "$@"; done
    wait
  done
else
  jobs=${FUZZ_JOBS:-$(nproc)}
  for lane in "${lanes[@]}"; do
    while [ "$(jobs -rp | wc -l)" -ge "$jobs" ]; do wait -n || true; done
    start "$lane" "$@"
  done
fi
wait

failed=()
total=0
printf '%-12s %12s %9s %7s %8s %6s\n' target executions exec/s cov features added
for lane in "${lanes[@]}"; do
  log=build/asan/$lane.log
  rc=$(cat "build/asan/$lane.status")
  rm -f "build/asan/$lane.status"
  if [ "$rc" != 0 ]; then failed+=("$lane"); continue; fi
  runs=$(stat number_of_executed_units "$log")
  total=$((total + runs))
  printf '%-12s %12s %9s %7s %8s %6s\n' "$lane" "$runs" \
    "$(stat average_exec_per_sec "$log")" "$(last cov "$log")" "$(last ft "$log")" \
    "$(stat new_units_added "$log")"
done
printf '%-12s %12s\n' total "$total"
for name in "${failed[@]}"; do
  tail -n 60 "build/asan/$name.log"
  echo "fuzz target $name failed; its log: build/asan/$name.log" >&2
done
[ ${#failed[@]} = 0 ]
