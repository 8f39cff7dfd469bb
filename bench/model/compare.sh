#!/usr/bin/env bash
# Runs the server-list benchmark and reports each case per server and as a
# ratio to decoding the same records (measured in the same run), with the
# time scaled to 100 servers of 8 devices:
#   bench/model/compare.sh BUILD_DIR
set -euo pipefail
build=$(cd "${1:?build dir}" && pwd)
"$build/bench/model/bench_model" --benchmark_format=json --benchmark_min_time=0.5 >"$build/bench_model.json"
python3 - "$build/bench_model.json" <<'PY'
import json, sys
runs = {b["name"]: b for b in json.load(open(sys.argv[1]))["benchmarks"]}
ref = runs["BM_Reference_DecodeRecords"]["items_per_second"]
for name, b in runs.items():
    per_server_us = 1e6 / b["items_per_second"]
    print(f"{name:28s} {per_server_us:8.2f} us/server  {per_server_us * 100 / 1000:7.3f} ms per 100 servers  "
          f"{ref / b['items_per_second']:6.1f}x the reference's time")
PY
