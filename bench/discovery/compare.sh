#!/usr/bin/env bash
# Runs the discovery benchmark and reports each case as a ratio to the
# reference (copying the 100 records) measured in the same run:
#   bench/discovery/compare.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?build dir}" && pwd)
"$build/bench/discovery/bench_discovery" --benchmark_format=json --benchmark_min_time=0.5 >"$build/bench_discovery.json"
python3 - "$build/bench_discovery.json" <<'PY'
import json, sys
runs = {b["name"]: b for b in json.load(open(sys.argv[1]))["benchmarks"]}
ref = runs["BM_Reference_CopyRecords"]["items_per_second"]
for name, b in runs.items():
    extra = f", stored {int(b['stored'])}/100" if "stored" in b else ""
    print(f"{name:28s} {b['items_per_second']/1e6:8.2f} M datagrams/s  "
          f"{ref / b['items_per_second']:6.1f}x the reference's time{extra}")
PY
