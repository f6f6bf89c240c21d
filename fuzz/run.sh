#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (ASan + UBSan) and runs each for a
# bounded time.  Usage: fuzz/run.sh [seconds per target] [target...]
# Seeds: the statements of tests/sql/*.test plus the checked-in regression
# inputs of fuzz/regressions/<target>.  New corpus entries go to
# build-fuzz/corpus/<target>; a finding leaves its input in
# build-fuzz/artifacts/ and makes the script fail.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
shift || true
targets=("$@")
[ "${#targets[@]}" -gt 0 ] || targets=(statement_fuzzer memo_scan_fuzzer)
build=${FUZZ_BUILD:-build-fuzz}

cmake -S . -B "$build" -G Ninja -DQX_FUZZ=ON -DBUILD_TESTING=OFF -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ >/dev/null
cmake --build "$build" --target "${targets[@]}"

# One seed file per statement of the SQL test files (the lines between the
# record's first line and "----" or the blank line that ends it).
seeds="$build/seeds"
rm -rf "$seeds" && mkdir -p "$seeds"
awk -v dir="$seeds" '
  BEGIN { state = 0 }
  /^$/ { if (text != "") { n++; f = dir "/seed" n; printf "%s", text > f; close(f) } text = ""; state = 0; next }
  state == 0 && /^(statement|query|tree|plan)/ { state = 1; next }
  state == 0 { state = 2; next }
  state == 1 && /^----$/ { state = 2; next }
  state == 1 { text = (text == "" ? $0 : text "\n" $0) }
  END { if (text != "") { n++; f = dir "/seed" n; printf "%s", text > f; close(f) } }
' tests/sql/*.test

mkdir -p "$build/artifacts"
status=0
for target in "${targets[@]}"; do
  corpus="$build/corpus/$target"
  mkdir -p "$corpus"
  inputs=("$corpus" "$seeds")
  [ -d "fuzz/regressions/$target" ] && inputs+=("fuzz/regressions/$target")
  options=(-dict=fuzz/sql.dict)
  echo "== $target for ${seconds}s"
  rc=0
  ASAN_OPTIONS=detect_leaks=1:allocator_may_return_null=1 \
    "$build/fuzz/$target" -max_total_time="$seconds" -timeout=30 -rss_limit_mb=3000 -max_len=4096 \
    -print_final_stats=1 -artifact_prefix="$build/artifacts/$target-" "${options[@]}" "${inputs[@]}" \
    >"$build/$target.log" 2>&1 || rc=$?
  grep -E '^(#[0-9]+ +DONE|stat::number_of_executed_units|SUMMARY)' "$build/$target.log" || true
  if [ "$rc" -ne 0 ] || grep -qE 'ERROR: |Test unit written' "$build/$target.log"; then
    echo "$target: FINDING (exit $rc; see $build/$target.log)"
    grep -E 'ERROR: |Test unit written|runtime error' "$build/$target.log" | head -5 || true
    status=1
  fi
done
exit $status
