#!/usr/bin/env bash
# A wide SELECT under a small address-space limit: whatever runs short
# (the engine, the file engine, the rows a table waits for), the statement
# fails with the out-of-memory message, or succeeds, and the shell goes on
# to the next statement; it never aborts.
#   OutOfMemory.sh QXSQL DEMO_DB
set -u
qxsql=$1 db=$2
wide="SELECT * FROM CLIENTS A, CLIENTS B, CLIENTS C WHERE C.NUM < 20"
for mb in 20 32 64 96; do
  err=$( (ulimit -v $((mb * 1024)); "$qxsql" -m table --lang en "$db" "$wide" "SELECT COUNT(*) FROM CLIENTS" 2>&1 >/dev/null) )
  status=$?
  [ "$status" -le 1 ] || { echo "FAIL: $mb MB: status $status: $err"; exit 1; }
  [ "$status" = 0 ] || [ "$err" = "Error 00123: Out of memory" ] || { echo "FAIL: $mb MB: $err"; exit 1; }
done
echo ok
