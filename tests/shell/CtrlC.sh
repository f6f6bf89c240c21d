#!/usr/bin/env bash
# Ctrl-C (SIGINT) during a long statement: the statement stops with
# SQLSTATE 57014, the prompt takes the next statement, and a run from the
# command line ends with status 1.
#   CtrlC.sh QXSQL DEMO_DB WORKDIR
set -u
qxsql=$1 db=$2 work=$3
rm -rf "$work" && mkdir -p "$work" && cd "$work" || exit 1
long="SELECT COUNT(*) FROM CLIENTS a, CLIENTS b, CLIENTS c, CLIENTS d WHERE a.NUM + b.NUM + c.NUM + d.NUM < 0;"
fail() { echo "FAIL: $*"; for f in out err; do echo "--- $f"; cat "$f"; done; exit 1; }

# Sends SIGINT once the shell has spent a second of processor time (it is
# then inside the long statement, however slowly it started), then expects
# it to end within 10 s.
interrupt() {
  local pid=$1 ticks=0
  for _ in $(seq 600); do
    ticks=$(awk '{print $14 + $15}' "/proc/$pid/stat" 2>/dev/null || echo 0)
    [ "${ticks:-0}" -ge 100 ] && break
    sleep 0.1
  done
  kill -INT "$pid"
  for _ in $(seq 100); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  kill -0 "$pid" 2>/dev/null && { kill -KILL "$pid"; fail "still running 10 s after SIGINT"; }
  wait "$pid"
}

printf '%s\nSELECT COUNT(*) FROM CLIENTS;\n' "$long" > in
"$qxsql" -i --lang en -m tsv "$db" < in > out 2> err &
interrupt $!
status=$?
[ "$status" = 1 ] || fail "prompt: status $status"
grep -qx 'Error 57014: Statement interrupted' err || fail "prompt: no interruption message"
grep -q '> 120$' out || fail "prompt: the next statement did not run"

"$qxsql" --lang en "$db" "$long" "SELECT COUNT(*) FROM CLIENTS" > out 2> err &
interrupt $!
status=$?
[ "$status" = 1 ] || fail "command line: status $status"
[ "$(cat err)" = 'Error 57014: Statement interrupted' ] || fail "command line: message"
[ ! -s out ] || fail "command line: the run went on"
echo ok
