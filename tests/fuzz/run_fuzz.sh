#!/usr/bin/env bash
# Builds the exchange rows fuzzer with clang in a build folder of its own and
# runs it for a bounded time.
#   tests/fuzz/run_fuzz.sh [seconds] [build folder]
# Defaults: 60 seconds, /tmp/zorvana-fuzz-build. New inputs the fuzzer finds
# go to <build>/fuzz-scratch (the stored corpus is only read), failing
# inputs to <build>/fuzz-artifacts/.
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
root=$(cd "$here/../.." && pwd)
seconds=${1:-60}
build=${2:-/tmp/zorvana-fuzz-build}

CC=${CC:-clang-14} CXX=${CXX:-clang++-14} \
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DZORVANA_FUZZ=ON >/dev/null
ninja -C "$build" fuzz_exchange_rows

scratch="$build/fuzz-scratch"
artifacts="$build/fuzz-artifacts/"
mkdir -p "$scratch" "$artifacts"
log="$build/fuzz.log"

status=0
"$build/tests/fuzz_exchange_rows" "$scratch" "$here/corpus" \
  -max_total_time="$seconds" -max_len=4096 -timeout=5 \
  -artifact_prefix="$artifacts" -print_final_stats=1 >"$log" 2>&1 || status=$?

grep -E '^(#[0-9]+ +DONE|Done [0-9]+ runs)|stat::number_of_executed_units' "$log" || true
if [ "$status" -ne 0 ]; then
  echo "fuzzer failed (exit $status); see $log and $artifacts" >&2
  tail -n 40 "$log" >&2
fi
exit "$status"
