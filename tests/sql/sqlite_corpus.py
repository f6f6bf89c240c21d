#!/usr/bin/env python3
"""Random queries over small integer tables, run by qxsql and by SQLite on the
same data: computed columns, conditions, DISTINCT, ORDER BY positions, LIMIT,
aggregates, GROUP BY and HAVING, sub-selects that read the outer row (in
WHERE, HAVING and the select list, at two levels, over the same table), LEFT JOIN and two
tables under any condition must give the same rows.  Left out: NULL,
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

def correlated(outer):
    """A sub-select linked to the outer row X (at times through a second level),
    as qxsql and as SQLite write it: ALL, ANY and UNIQUE become EXISTS forms."""
    inner = random.choice(list(tables))
    x, y = [f"X.{c}" for c in tables[outer]], [f"Y.{c}" for c in tables[inner]]
    ops = ['=', '<', '>', '<>', '<=', '>=']
    where = f"{random.choice(y)} {random.choice(ops)} {expr(x, 1)}"
    if random.random() < 0.4: where += f" AND {cond(y, 1)}"
    if random.random() < 0.25:
        z = random.choice(list(tables)); zc = [f"Z.{c}" for c in tables[z]]
        where += (f" AND {random.choice(['', 'NOT '])}EXISTS (SELECT * FROM {z} Z WHERE "
                  f"{random.choice(zc)} {random.choice(ops)} {random.choice(y)} AND {random.choice(zc)} "
                  f"{random.choice(ops)} {random.choice(x)})")
    rows, within = f"FROM {inner} Y WHERE {where}", f"FROM {inner} Y WHERE ({where})"
    left, col, op = expr(x, 1), random.choice(y), random.choice(ops)
    form = random.randrange(6)
    if form == 0:
        q = f"{random.choice(['', 'NOT '])}EXISTS (SELECT * {rows})"
        return q, q
    if form == 1:
        q = f"{left} {random.choice(['', 'NOT '])}IN (SELECT {col} {rows})"
        return q, q
    if form == 2:
        q = f"{left} {op} (SELECT COUNT(*) {rows})"
        return q, q
    if form == 3:
        return f"{left} {op} ALL (SELECT {col} {rows})", f"NOT EXISTS (SELECT * {within} AND NOT ({left} {op} {col}))"
    if form == 4:
        return f"{left} {op} {random.choice(['ANY', 'SOME'])} (SELECT {col} {rows})", f"EXISTS (SELECT * {within} AND {left} {op} {col})"
    negated = 'NOT ' if random.random() < 0.5 else ''
    return f"{negated}UNIQUE (SELECT * {rows})", f"{negated}((SELECT COUNT(*) {rows}) = 1)"

failures = 0
for _ in range(count):
    t = random.choice(list(tables)); cols = tables[t]
    lq = None
    if random.random() < 0.1:
        # LEFT JOIN: the unmatched side reads as 0 here and NULL in SQLite,
        # so WHERE reads only the left table and the right side is shown as is.
        o = random.choice(list(tables)); x, y = [f"X.{c}" for c in cols], [f"Y.{c}" for c in tables[o]]
        on = f"{random.choice(y)} {random.choice(['=', '<', '>', '<>'])} {expr(x, 1)}"
        if random.random() < 0.4: on += f" AND {cond(y, 1)}"
        shown = 'COUNT(*)' if random.random() < 0.3 else f"{random.choice(x)}, {random.choice(y)}"
        if random.random() < 0.5:
            q = f"SELECT {shown} FROM {t} X LEFT {random.choice(['', 'OUTER '])}JOIN {o} Y ON {on}"
            if random.random() < 0.5: q += f" WHERE {cond(x, 1)}"
        else:
            # Two tables under any condition: joins, products, ORs across them.
            q = f"SELECT {shown} FROM {t} X, {o} Y WHERE {cond(x + y)}"
        lq = q
    elif random.random() < 0.3:
        # Correlated sub-selects in WHERE, or in HAVING over a GROUP BY key.
        x = [f"X.{c}" for c in cols]
        if random.random() < 0.2:
            # A value of the select list computed from rows linked to the outer one.
            inner = random.choice(list(tables)); y = [f"Y.{c}" for c in tables[inner]]
            agg = random.choice(['COUNT(*)', 'MAX(%s)', 'MIN(%s)', 'SUM(%s)']).replace('%s', random.choice(y))
            link = f"{random.choice(y)} {random.choice(['=', '<', '>', '<>'])} {expr(x, 1)}"
            q = lq = f"SELECT {random.choice(x)}, (SELECT {agg} FROM {inner} Y WHERE {link}) FROM {t} X"
        elif random.random() < 0.7:
            qx, lite_form = correlated(t)
            head = f"SELECT {', '.join(x)} FROM {t} X WHERE "
            q, lq = head + qx, head + lite_form
        else:
            g = random.choice(x)
            qx, lite_form = correlated(t)
            qx, lite_form = qx.replace('X.', 'X#').replace(f"X#{g[2:]}", g), lite_form.replace('X.', 'X#').replace(f"X#{g[2:]}", g)
            if 'X#' in qx + lite_form: qx, lite_form = f"EXISTS (SELECT * FROM T2 Y WHERE Y.D = {g})", f"EXISTS (SELECT * FROM T2 Y WHERE Y.D = {g})"
            head = f"SELECT {g}, COUNT(*) FROM {t} X GROUP BY {g} HAVING "
            q, lq = head + qx + ' ORDER BY 1', head + lite_form + ' ORDER BY 1'
    if lq is not None:
        expected = sorted(tuple(0.0 if v is None else float(v) for v in row) for row in lite.execute(lq).fetchall())
        run = subprocess.run([qxsql, '-m', 'tsv', scratch, q], capture_output=True, text=True)
        got = sorted(tuple(float(v) for v in line.split('\t')) for line in run.stdout.splitlines()) if run.returncode == 0 else None
        if got != expected:
            failures += 1
            print(f"{q}\n  SQLite {lq}\n  {expected[:6]}\n  qxsql  {got[:6] if got is not None else run.stderr.strip()}")
        continue
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
