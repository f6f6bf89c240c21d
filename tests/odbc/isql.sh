#!/usr/bin/env bash
# isql through the driver: odbc/register.sh registers the driver and a data
# source QXDEMO in a private ODBCSYSINI, then isql lists the demo tables
# (SQLTables), describes one (SQLColumns) and queries them; each output is
# checked for the rows the demo's statements made.
#
#   isql.sh DRIVER DEMO_DB WORKDIR
set -euo pipefail
driver=$1 db=$2 work=$3
here=$(cd "$(dirname "$0")" && pwd)
rm -rf "$work"
mkdir -p "$work"
export ODBCSYSINI=$work ODBCINI=$work/odbc.ini
touch "$work/odbcinst.ini" "$work/odbc.ini"
"$here/../../odbc/register.sh" "$driver" QXDEMO "$db"

failures=0
# expect STATEMENT TEXT: isql's output for STATEMENT must hold TEXT.
expect() {
  local out
  out=$(printf '%s\n' "$1" | isql -v -b -d'|' QXDEMO 2>&1) || true
  if ! grep -qF -- "$2" <<<"$out"; then
    echo "FAIL: $1"
    echo "  expected: $2"
    echo "  got: $out"
    failures=$((failures + 1))
  fi
}
expect "help" "|CLIENTS|TABLE|"
expect "help" "|PRODUCTS|TABLE|"
expect "help ORDERS" "|ORDERS|AMOUNT|8|DOUBLE|"
expect "SELECT COUNT(*) FROM CLIENTS" "120"
expect "SELECT NUM, NAME FROM CLIENTS WHERE NUM = 1" "1|"
expect "SELECT SUM(QTY), MIN(ODATE) FROM ORDERS" "|20"
expect "SELECT NOPE FROM CLIENTS" "NOPE"
expect "SELECT * FROM NOTABLE" "[QX]"
# A data source naming no database is refused at connect.
printf '[EMPTY]\nDriver=QX\n' >>"$work/odbc.ini"
out=$(echo "SELECT 1" | isql -v -b EMPTY 2>&1) && { echo "FAIL: connected without a database"; failures=$((failures + 1)); }
grep -qF "no Database entry" <<<"$out" || { echo "FAIL: no reason given: $out"; failures=$((failures + 1)); }
[ "$failures" -eq 0 ] && echo "isql: all checks passed"
exit "$failures"
