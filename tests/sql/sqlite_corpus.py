#!/usr/bin/env python3
"""Random queries over small integer tables, run by qxsql and by SQLite on the
same data: computed columns, conditions, DISTINCT, ORDER BY positions, LIMIT,
aggregates, GROUP BY and HAVING must give the same rows.  Left out: NULL,
CASE, CAST and integer division, which the two define differently.
usage: sqlite_corpus.py QXSQL SCRATCH_DIR [SEED] [QUERIES]"""
import random, shutil, sqlite3, subprocess, sys

qxsql, scratch = sys.argv[1], sys.argv[2]
random.seed(int(sys.argv[3]) if len(sys.argv) > 3 else 1)
count = int(sys.argv[4]) if len(sys.argv) > 4 else 250
tables = {'T1': ['A', 'B', 'C'], 'T2': ['D', 'E', 'F']}
setup = []
for t, cols in tables.items():
    setup.append(f"CREATE TABLE {t} ({', '.join(c + ' INTEGER' for c in cols)})")
    for _ in range(random.randint(4, 9)):
        setup.append(f"INSERT INTO {t} VALUES ({', '.join(str(random.randint(-5, 9)) for _ in cols)})")
lite = sqlite3.connect(':memory:')
for s in setup: lite.execute(s)
shutil.rmtree(scratch, ignore_errors=True)
subprocess.run([qxsql, '--create', scratch] + setup, check=True, capture_output=True)

def expr(cols, d=0):
    r = random.random()
    if d < 2 and r < 0.3: return f"{expr(cols, d + 1)} {random.choice('+-*')} {expr(cols, d + 1)}"
    if d < 2 and r < 0.4: return f"({expr(cols, d + 1)})"
    if r < 0.5: return str(random.randint(-3, 9))
    return ('-' if r < 0.55 else '') + random.choice(cols)

def cond(cols, d=0):
    r = random.random()
    if d < 2 and r < 0.25: return f"{cond(cols, d + 1)} {random.choice(['AND', 'OR'])} {cond(cols, d + 1)}"
    if d < 2 and r < 0.3: return f"NOT ({cond(cols, d + 1)})"
    if r < 0.4: return f"{random.choice(cols)} BETWEEN {random.randint(-3, 3)} AND {random.randint(3, 9)}"
    if r < 0.5: return f"{random.choice(cols)} IN ({', '.join(str(random.randint(-3, 9)) for _ in range(3))})"
    return f"{expr(cols, 1)} {random.choice(['=', '<', '>', '<=', '>=', '<>'])} {expr(cols, 1)}"

failures = 0
for _ in range(count):
    t = random.choice(list(tables)); cols = tables[t]
    aggregate = random.choice(['COUNT(*)', 'SUM(%s)', 'MIN(%s)', 'MAX(%s)', 'COUNT(%s)', 'COUNT(DISTINCT %s)'])
    aggregate = aggregate.replace('%s', random.choice(cols))
    where = f" WHERE {cond(cols)}" if random.random() < 0.6 else ''
    if random.random() < 0.5:
        n = random.randint(1, 3)
        q = f"SELECT {random.choice(['', 'DISTINCT '])}{', '.join(expr(cols) for _ in range(n))} FROM {t}{where}"
        if random.random() < 0.5:
            q += ' ORDER BY ' + ', '.join(str(k + 1) for k in range(n))
            if random.random() < 0.3: q += f" LIMIT {random.randint(0, 5)}"
    elif random.random() < 0.5:
        g = random.choice(cols)
        q = f"SELECT {g}, {aggregate} FROM {t}{where} GROUP BY {g}"
        if random.random() < 0.4: q += f" HAVING COUNT(*) > {random.randint(0, 2)}"
        q += ' ORDER BY 1'
    else:
        q = f"SELECT {aggregate} FROM {t}{where}"
    # No NULL here: an aggregate over no rows gives its type's empty value, 0.
    expected = [tuple(0.0 if v is None else float(v) for v in row) for row in lite.execute(q).fetchall()]
    run = subprocess.run([qxsql, '-m', 'tsv', scratch, q], capture_output=True, text=True)
    got = [tuple(float(v) for v in line.split('\t')) for line in run.stdout.splitlines()] if run.returncode == 0 else None
    if got is None or (got if 'ORDER BY' in q else sorted(got)) != (expected if 'ORDER BY' in q else sorted(expected)):
        failures += 1
        print(f"{q}\n  SQLite {expected[:6]}\n  qxsql  {got[:6] if got is not None else run.stderr.strip()}")
print(f"{count - failures}/{count} queries agree with SQLite")
sys.exit(1 if failures else 0)
