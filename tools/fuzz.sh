#!/bin/sh
# Runs every fuzz target in BUILD for SECONDS each, keeping its corpus in BUILD/corpus/<name>
# (seeded from tests/fuzz/seeds/<name> when that exists). Exits non-zero on a finding.
# Inputs grow up to MAX_LEN bytes (16 MiB unless given), the size of the hostile blocks
# the parsers must take in linear time; an input slower than 10 s counts as a finding.
#   tools/fuzz.sh BUILD SECONDS [MAX_LEN]
set -e
build=$1
seconds=${2:-60}
max_len=${3:-16777216}
root=$(cd "$(dirname "$0")/.." && pwd)
found=0
for target in "$build"/*_fuzz; do
    [ -x "$target" ] || continue
    name=$(basename "$target")
    corpus="$build/corpus/$name"
    mkdir -p "$corpus"
    seeds="$root/tests/fuzz/seeds/$name"
    [ -d "$seeds" ] || seeds=""
    echo "fuzz: $name for ${seconds}s"
    if ! "$target" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 -rss_limit_mb=4096 \
        -print_final_stats=1 -artifact_prefix="$build/" \
        "$corpus" $seeds 2>"$build/$name.log"; then
        tail -40 "$build/$name.log"
        found=1
    else
        grep -E 'stat::number_of_executed_units|stat::peak_rss_mb' "$build/$name.log" | sed "s/^/  $name /"
    fi
done
exit $found
