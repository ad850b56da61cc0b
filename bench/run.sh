#!/usr/bin/env bash
# Builds Release and times the workloads of the performance targets with one
# thread and with every core, printing wall time, CPU time, pairs/s and peak
# memory per run; then the kernel benchmarks (pairs/s, draws/s), among them
# the scan with self-comparisons against generating the outputs it consumes
# (gen_ms, scan_ms, scan/gen) on the cattle data and the 5,000-sample study.
# Run it on an idle machine, or read the CPU times: wall times under load
# say little.
#   bash bench/run.sh [quick|full]   (full adds the 30,000-sample study)
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
mode=${1:-quick}
build=build/bench
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DTARVO_BENCH=ON -DTARVO_TESTS=OFF >/dev/null
cmake --build "$build" -j "$(nproc)" --target tarvo tarvo_bench >/dev/null
tarvo=$root/$build/tarvo
all=$(nproc)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cp tests/data/microbov.gen "$work/"
cd "$work"

printf '%-34s %7s %9s %9s %12s %9s\n' workload threads wall_s cpu_s pairs/s peak_MB
# run NAME SAMPLES THREADS ARGS...: pairs are the calibration's, the
# reference scan's and every standard-error run's, read off the run's output.
run() {
  local name=$1 n=$2 t=$3
  shift 3
  /usr/bin/time -f '%e %U %S %M' -o time.txt "$tarvo" "$@" -t "$t" >out.txt 2>&1 || true
  read -r wall user sys kb < <(tail -1 time.txt)
  local sets runs
  sets=$(grep -o 'distribution using [0-9]*' out.txt | grep -o '[0-9][0-9]*' | head -1 || true)
  runs=$(grep -o 'using [0-9]* simulation runs' out.txt | grep -o '[0-9][0-9]*' | paste -sd+ | bc || true)
  local pairs
  pairs=$(echo "($n * ($n - 1) / 2) * (${sets:-0} + 1 + ${runs:-0})" | bc)
  awk -v name="$name" -v t="$t" -v w="$wall" -v u="$user" -v s="$sys" -v kb="$kb" -v p="$pairs" \
    'BEGIN { printf "%-34s %7d %9.1f %9.1f %12.3g %9.1f\n", name, t, w, u + s, p / (w > 0 ? w : 0.01), kb / 1024 }'
}

for t in 1 "$all"; do
  run "microbov default (-r 1)" 704 "$t" -1 microbov.gen -r 1
  run "microbov calibration+scan (-c 0)" 704 "$t" -1 microbov.gen -r 1 -c 0
done
"$tarvo" -1 microbov.gen -M 5000 -R 200 -p -r 1 >/dev/null 2>&1 || true
mv TARVO_simm.txt study5000.txt
for t in 1 "$all"; do
  run "5,000 samples default (-r 2)" 5000 "$t" -1 study5000.txt -r 2
  run "5,000 samples --fast (-r 2)" 5000 "$t" -1 study5000.txt -r 2 --fast
done
if [ "$mode" = full ]; then
  "$tarvo" -1 microbov.gen -M 30000 -R 1200 -p -r 1 >/dev/null 2>&1 || true
  mv TARVO_simm.txt study30000.txt
  for t in 1 "$all"; do
    run "30,000 x 30 (-c 0)" 30000 "$t" -1 study30000.txt -r 2 -c 0
  done
  run "30,000 x 30 (-s 10 -c 1)" 30000 "$all" -1 study30000.txt -r 2 -s 10 -c 1
  run "30,000 x 30 --fast (-r 2)" 30000 "$all" -1 study30000.txt -r 2 --fast
fi

echo
uptime
TARVO_BENCH_STUDY=$work/study5000.txt "$root/$build/tarvo_bench" --benchmark_counters_tabular=true 2>/dev/null
