#!/usr/bin/env bash
# Registers libqxodbc.so with unixODBC under the driver name QX (odbcinst
# -i -d), then, given a data source name and a database directory, adds
# that data source for the user (odbcinst -i -s -h).  ODBCSYSINI / ODBCINI choose
# other files than /etc/odbcinst.ini and ~/.odbc.ini, as for unixODBC.
#
#   register.sh [DRIVER_PATH] [DSN DBDIR]
set -euo pipefail

here=$(cd "$(dirname "$0")" && pwd)
driver=${1:-}
if [ -z "$driver" ]; then
  for candidate in "$here/../../../lib/libqxodbc.so" "$here"/../../../lib/*/libqxodbc.so; do
    [ -e "$candidate" ] && driver=$(realpath "$candidate") && break
  done
fi
if [ -z "$driver" ] || [ ! -e "$driver" ]; then
  echo "usage: $0 [DRIVER_PATH] [DSN DBDIR]  (libqxodbc.so not found)" >&2
  exit 2
fi
command -v odbcinst >/dev/null || { echo "$0: odbcinst not found (apt-get install odbcinst)" >&2; exit 1; }

template=$(mktemp)
trap 'rm -f "$template"' EXIT
printf '[QX]\nDescription=QX database (directory) through libqxodbc\nDriver=%s\nFileUsage=0\n' "$driver" >"$template"
odbcinst -i -d -f "$template" >/dev/null
echo "driver QX registered: $driver"

if [ "$#" -ge 3 ]; then
  printf '[%s]\nDriver=QX\nDatabase=%s\n' "$2" "$(realpath -m "$3")" >"$template"
  odbcinst -i -s -h -f "$template" >/dev/null
  echo "data source $2 added: $3"
fi
