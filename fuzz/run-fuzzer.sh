#!/usr/bin/env bash
# run-fuzzer.sh BINARY SEED_DIR WORK_DIR SECONDS: a bounded libFuzzer run over a scratch copy of
# the seed corpus; any crash, leak or sanitizer report makes it fail.
set -euo pipefail
binary=$1 seeds=$2 work=$3 seconds=$4
rm -rf "$work"
mkdir -p "$work/corpus" "$work/artifacts"
if [[ -d "$seeds" ]]; then cp -r "$seeds"/. "$work/corpus/"; fi
exec "$binary" "$work/corpus" -max_total_time="$seconds" -max_len=65536 -rss_limit_mb=2048 \
    -timeout=10 -artifact_prefix="$work/artifacts/" -print_final_stats=1
