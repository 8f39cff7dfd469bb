#!/usr/bin/env bash
# Long fuzzing: runs every fuzz target of the fuzz build for SECONDS each
# (default 3600), one target after the other, on two processes (libFuzzer's
# fork mode), starting from the seed corpus kept in the repository beside the
# target (fuzz/<subsystem>/corpus/<target>/). What a run finds is kept:
#   - inputs that reach new code are merged back into the seeds (-merge=1 adds
#     only what brings new coverage, so the seeds stay small; commit them);
#   - crashes, leaks, time-outs and out-of-memory inputs stay in the run's
#     findings folder, which the summary names; the script then exits 1.
# Usage: scripts/fuzz-long.sh [SECONDS]
#   VX_FUZZ_BUILD  the fuzz build folder (default build/fuzz; build it first:
#                  cmake --preset fuzz && cmake --build --preset fuzz)
#   VX_FUZZ_JOBS   processes per target (default 2)
#   VX_FUZZ_ONLY   run only the targets whose names match this regular expression
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-3600}
if ! [[ $seconds =~ ^[0-9]+$ ]] || [ "$seconds" -eq 0 ]; then
  echo "usage: scripts/fuzz-long.sh [SECONDS]" >&2
  exit 2
fi
build=${VX_FUZZ_BUILD:-$root/build/fuzz}
jobs=${VX_FUZZ_JOBS:-2}
only=${VX_FUZZ_ONLY:-.}
manifest=$build/fuzz-targets.txt
if [ ! -f "$manifest" ]; then
  echo "fuzz-long: $manifest is missing: cmake --preset fuzz && cmake --build --preset fuzz" >&2
  exit 2
fi

run=$root/build/fuzz-long/$(date +%Y%m%d-%H%M%S)
mkdir -p "$run"
echo "fuzz-long: $seconds s per target, $jobs processes; logs and findings in $run"
summary=$run/summary.txt
printf '%-24s %12s %8s %6s %6s %9s\n' target runs exec/s cov seeds+ findings >"$summary"
found=0
while read -r name exe seeds; do
  [ -n "$name" ] && [[ $name =~ $only ]] || continue
  if [ ! -x "$exe" ]; then
    echo "fuzz-long: $exe is missing: build the fuzz preset" >&2
    exit 2
  fi
  out=$run/$name
  mkdir -p "$out/new" "$out/findings" "$seeds"
  echo "== $name"
  # Fork mode: the parent merges every job's new inputs into the first folder.
  ASAN_OPTIONS=detect_leaks=1 "$exe" -fork="$jobs" -ignore_crashes=1 -ignore_timeouts=1 -ignore_ooms=1 \
    -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=10 -artifact_prefix="$out/findings/" \
    "$out/new" "$seeds" >"$out/fuzz.log" 2>&1 || true
  # The parent's last status line: "#RUNS: cov: C ft: F corp: N exec/s E ...".
  status=$(grep -E '^#[0-9]+: cov:' "$out/fuzz.log" | tail -n1 || true)
  runs=$(sed -nE 's/^#([0-9]+):.*/\1/p' <<<"$status")
  cov=$(sed -nE 's/.* cov: ([0-9]+).*/\1/p' <<<"$status")
  rate=$(sed -nE 's/.* exec\/s:? ([0-9]+).*/\1/p' <<<"$status")
  before=$(find "$seeds" -type f | wc -l)
  "$exe" -merge=1 -rss_limit_mb=2048 "$seeds" "$out/new" >"$out/merge.log" 2>&1 ||
    echo "fuzz-long: $name: merge failed, see $out/merge.log" >&2
  added=$(($(find "$seeds" -type f | wc -l) - before))
  findings=$(find "$out/findings" -type f | wc -l)
  found=$((found + findings))
  printf '%-24s %12s %8s %6s %6s %9s\n' "$name" "${runs:-?}" "${rate:-?}" "${cov:-?}" "$added" "$findings" |
    tee -a "$summary"
done <"$manifest"

echo
cat "$summary"
if [ "$found" -ne 0 ]; then
  echo "fuzz-long: $found finding(s), kept in:"
  find "$run" -path '*/findings/*' -type f
  exit 1
fi
echo "fuzz-long: no finding; new seeds (if any) are in fuzz/*/corpus/: review and commit them"
