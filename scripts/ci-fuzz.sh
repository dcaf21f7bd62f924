#!/usr/bin/env bash
# Fuzzes the .p image reader for a bounded time and fails on any crash,
# sanitizer report, leak, or single allocation of 64 MiB or more.
#
#   scripts/ci-fuzz.sh [SECONDS]        default 60
#
# Builds the libFuzzer target with clang into BRINDLE_FUZZ_BUILD_DIR (default
# build-fuzz/) and seeds it with tests/fuzz/corpus plus the generated images of
# the build scripts/test.sh made (see scripts/common.sh) when they exist. Clang
# comes with the packages scripts/test.sh installs. Inputs longer than 1400
# bytes are cut, which keeps each run fast; the reader's limits do not depend
# on the size. A crashing input is left in the build folder: copy it
# into tests/fuzz/corpus/ once fixed, so the replay test keeps it fixed.
set -euo pipefail
source "$(dirname "${BASH_SOURCE[0]}")/common.sh"

seconds="${1:-60}"
fuzz_build="${BRINDLE_FUZZ_BUILD_DIR:-$brindle_root/build-fuzz}"

if ! command -v clang++-14 > /dev/null; then
    echo "ci-fuzz: clang++-14 is missing; ./scripts/test.sh installs it with the other packages" >&2
    exit 1
fi

CC=clang-14 CXX=clang++-14 cmake -S "$brindle_root" -B "$fuzz_build" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DBRINDLE_FUZZ=ON
cmake --build "$fuzz_build" -j"$(nproc)" --target palette_reader_fuzz

work="$fuzz_build/fuzz-run"
rm -rf "$work"
mkdir -p "$work/corpus" "$work/artifacts"
cp "$brindle_root"/tests/fuzz/corpus/* "$work/corpus/"
if compgen -G "$brindle_build/Data/*.p" > /dev/null; then
    cp "$brindle_build"/Data/*.p "$work/corpus/"
fi

echo "Fuzzing the .p reader for ${seconds} s with $(ls "$work/corpus" | wc -l) seeds" >&2
status=0
"$fuzz_build/palette_reader_fuzz" -max_total_time="$seconds" -max_len=1400 \
    -malloc_limit_mb=64 -rss_limit_mb=2048 -timeout=10 -print_final_stats=1 \
    -artifact_prefix="$work/artifacts/" "$work/corpus" > "$work/fuzz.log" 2>&1 || status=$?
grep -E '^(stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb)' "$work/fuzz.log" >&2 || true
if [ "$status" -ne 0 ] || compgen -G "$work/artifacts/*" > /dev/null; then
    tail -n 60 "$work/fuzz.log" >&2
    echo "ci-fuzz: the .p reader failed under the fuzzer; inputs in $work/artifacts" >&2
    exit 1
fi
echo "ci-fuzz: no findings" >&2
