#!/usr/bin/env bash
# Rebuilds the demo database from the files beside this script: the
# analysis of PRODUCTS (products.qxa) and the statements of shop.sql, run
# with qxsql.  The database directory is replaced as a whole.
#
#   demo/rebuild.sh QXSQL DBDIR
set -euo pipefail

if [ "$#" -ne 2 ]; then
  echo "usage: $0 QXSQL DBDIR" >&2
  exit 2
fi
qxsql=$(realpath "$1")
db=$(realpath -m "$2")
here=$(cd "$(dirname "$0")" && pwd)

if [ -e "$db" ] && [ ! -f "$db/analysis.qxa" ]; then
  echo "$0: $db exists and is not a QX database; leaving it alone" >&2
  exit 1
fi
rm -rf "$db"
mkdir -p "$db"
cp "$here/products.qxa" "$db/analysis.qxa"

# shop.sql names its memo files relative to this directory.
cd "$here"
"$qxsql" --bail --lang en -m tsv "$db" -f shop.sql
echo "demo database rebuilt in $db"
