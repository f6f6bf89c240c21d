#!/usr/bin/env bash
# Installs the project under a temporary prefix, builds the example host
# program against the installed tree with pkg-config and with
# find_package(QX), and runs both builds on a demo database made by the
# installed qxsql.   examples/check_install.sh [BUILD]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT

make install BUILD="$build" PREFIX="$prefix"
export OMBREL_INI=/nonexistent/ombrel.ini
demo/rebuild.sh "$prefix/bin/qxsql" "$prefix/demo-db"
query="SELECT CODE, PRICE FROM PRODUCTS WHERE PRICE > 200 ORDER BY CODE"
expected=$'2 columns, 3 rows\nDESK01 | 389\nDESK02 | 210\nSCREEN01 | 279'

# shellcheck disable=SC2046
cc -Wall -Wextra -Werror -o "$prefix/example-pc" examples/host_example.c \
   $(PKG_CONFIG_PATH="$prefix/lib/pkgconfig" pkg-config --cflags --libs qx)
got=$(LD_LIBRARY_PATH="$prefix/lib" "$prefix/example-pc" "$prefix/demo-db" "$query")
[ "$got" = "$expected" ] || { echo "pkg-config build printed:"; echo "$got"; exit 1; } >&2

cmake -S examples -B "$prefix/example-cmake" -G Ninja -DCMAKE_PREFIX_PATH="$prefix" \
      -DCMAKE_C_FLAGS="-Wall -Wextra -Werror" >/dev/null
cmake --build "$prefix/example-cmake"
got=$("$prefix/example-cmake/host_example" "$prefix/demo-db" "$query")
[ "$got" = "$expected" ] || { echo "find_package build printed:"; echo "$got"; exit 1; } >&2
echo "the installed tree builds and runs the example both ways"
