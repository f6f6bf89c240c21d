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

# The Python module from the installed tree alone (no QX_LIBRARY_PATH): it
# reads the demo database, and pandas makes a frame of it where pandas is
# installed (Debian's python3-pandas is for /usr/bin/python3).
package=$(find "$prefix" -type d -name qxsql -path "*python3*" | head -n 1)
[ -n "$package" ] || { echo "the qxsql package is not installed" >&2; exit 1; }
python=python3
for candidate in python3 /usr/bin/python3; do
  if "$candidate" -c "import pandas" 2>/dev/null; then python=$candidate; break; fi
done
(cd / && env -u QX_LIBRARY_PATH PYTHONPATH="$(dirname "$package")" PYTHONDONTWRITEBYTECODE=1 \
   "$python" - "$prefix" <<'PYTHON'
import sys, warnings
import qxsql
prefix = sys.argv[1]
assert qxsql.__file__.startswith(prefix), qxsql.__file__
with qxsql.connect(prefix + "/demo-db") as db:
    rows = db.execute("SELECT CODE, PRICE FROM PRODUCTS WHERE PRICE > ? ORDER BY CODE", (200,)).fetchall()
    assert rows == [("DESK01", 389.0), ("DESK02", 210.0), ("SCREEN01", 279.0)], rows
    try:
        import pandas
    except ImportError:
        sys.exit(print("the installed qxsql module reads the demo database (no pandas here for a frame)"))
    warnings.simplefilter("ignore", UserWarning)  # pandas' note on connections other than sqlite3's
    frame = pandas.read_sql("SELECT CODE, PRICE, STOCK FROM PRODUCTS", db)
    assert frame.shape == (30, 3) and [str(t) for t in frame.dtypes] == ["object", "float64", "int64"], frame.dtypes
    print("the installed qxsql module reads the demo database and pandas makes a frame of it")
PYTHON
)

# The installed ODBC driver, registered by its script in a private
# ODBCSYSINI, lists and queries the demo tables through a data source.
if [ -e "$prefix/lib/libqxodbc.so" ] && command -v isql >/dev/null && command -v odbcinst >/dev/null; then
  export ODBCSYSINI="$prefix/odbc" ODBCINI="$prefix/odbc/odbc.ini"
  mkdir -p "$ODBCSYSINI" && touch "$ODBCSYSINI/odbcinst.ini" "$ODBCINI"
  "$prefix/share/qx/odbc/register.sh" "" SHOP "$prefix/demo-db" >/dev/null
  got=$(printf 'help\n%s\n' "$query" | isql -b -d'|' SHOP)
  for want in "|PRODUCTS|TABLE|" "DESK02|210"; do
    grep -qF "$want" <<<"$got" || { echo "isql through the installed driver printed:"; echo "$got"; exit 1; } >&2
  done
  echo "the installed ODBC driver answers isql through a data source"
fi
