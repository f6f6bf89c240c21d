#!/usr/bin/env bash
# Line coverage of the engine (everything in libobsqleng.so), the QX file
# engine (host/) and the shell (shell/) over the whole ctest suite, with
# clang's source-based coverage.  Prints lines covered / total per folder.
#   tests/coverage.sh [BUILD_DIR]        (default: build-cov)
set -euo pipefail
src=$(cd "$(dirname "$0")/.." && pwd)
build=$(realpath -m "${1:-$src/build-cov}")
flags="-fprofile-instr-generate -fcoverage-mapping"
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi

cmake -S "$src" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Debug "${launcher[@]}" \
  -DCMAKE_C_COMPILER=clang -DCMAKE_CXX_COMPILER=clang++ \
  -DCMAKE_C_FLAGS="$flags" -DCMAKE_CXX_FLAGS="$flags" \
  -DCMAKE_EXE_LINKER_FLAGS=-fprofile-instr-generate \
  -DCMAKE_SHARED_LINKER_FLAGS=-fprofile-instr-generate >/dev/null
cmake --build "$build" -j "${JOBS:-2}"

rm -rf "$build/profiles"
mkdir -p "$build/profiles"
(cd "$build" && LLVM_PROFILE_FILE="$build/profiles/%p.profraw" ctest -j "${JOBS:-2}" >"$build/profiles/ctest.log") ||
  echo "coverage: some tests failed, see $build/profiles/ctest.log" >&2
tail -n 3 "$build/profiles/ctest.log"
llvm-profdata-14 merge -sparse "$build"/profiles/*.profraw -o "$build/coverage.profdata"

# Every ELF binary or library the build produced.
objects=()
while IFS= read -r f; do
  [ "$(head -c 4 "$f" | tr -d '\0')" = $'\x7fELF' ] && objects+=(-object "$f")
done < <(find "$build" -type f \( -perm -u+x -o -name '*.so' \) ! -path '*/CMakeFiles/*' | sort)

llvm-cov-14 export -summary-only -instr-profile "$build/coverage.profdata" "${objects[@]:1}" >"$build/coverage.json"
python3 - "$src" "$build/coverage.json" <<'EOF'
import json, os, sys, collections
src, path = sys.argv[1].rstrip('/') + '/', sys.argv[2]
engine = ['platform', 'base', 'values', 'lexer', 'parser', 'catalog', 'analysis', 'planner', 'exec', 'interface']
per = collections.defaultdict(lambda: [0, 0])
for f in json.load(open(path))['data'][0]['files']:
    name = os.path.normpath(f['filename'])
    if name.startswith(src):
        folder = name[len(src):].split('/')[0]
        per[folder][0] += f['summary']['lines']['covered']
        per[folder][1] += f['summary']['lines']['count']
def line(name, c, t): print(f'{name:<12}{c:>7} / {t:<7}{100.0 * c / t if t else 0:6.2f}%')
total = [0, 0]
for d in engine:
    c, t = per[d]; total[0] += c; total[1] += t; line(d, c, t)
line('ENGINE', *total)
for d in ['host', 'shell']:
    line(d, *per[d])
EOF
