"""pyodbc through the driver: parameterised INSERT and SELECT, the Python
types of the values read back, description, errors with their SQLSTATE,
commit and rollback, and the catalog calls.

    pyodbc_check.py DRIVER WORKDIR
"""
import datetime
import shutil
import sys

import pyodbc

driver, work = sys.argv[1], sys.argv[2] + "/pyodbc-db"
shutil.rmtree(work, ignore_errors=True)
cnx = pyodbc.connect(f"DRIVER={{{driver}}};DATABASE={work};CREATE=1;STRICT=1")
cur = cnx.cursor()
cur.execute("CREATE TABLE T (ID INTEGER, NAME CHAR(20), PRICE DOUBLE, SEEN DATE, AT TIME)")
cnx.commit()
rows = [
    (1, "it's \"quoted\"", 12.5, datetime.date(2024, 2, 29), datetime.time(23, 59)),
    (2, "\u00e9t\u00e9 \u20ac", -1e-7, None, datetime.time(0, 0)),
    (-2147483647, "", 1e300, datetime.date(1, 1, 1), datetime.time(12, 0)),
]
cur.executemany("INSERT INTO T (ID, NAME, PRICE, SEEN, AT) VALUES (?, ?, ?, ?, ?)", rows)
cnx.commit()
got = cur.execute("SELECT ID, NAME, PRICE, SEEN, AT FROM T WHERE ID <> ? ORDER BY ID", 0).fetchall()
assert [tuple(r) for r in got] == sorted(rows), got
assert [d[0] for d in cur.description] == ["ID", "NAME", "PRICE", "SEEN", "AT"], cur.description
assert [d[1] for d in cur.description] == [int, str, float, datetime.date, datetime.time], cur.description

cur.execute("UPDATE T SET NAME = ? WHERE ID = ?", "changed", 1)
assert cur.rowcount == 1, cur.rowcount
cnx.rollback()
assert cur.execute("SELECT NAME FROM T WHERE ID = 1").fetchval() == "it's \"quoted\""

for statement, params, state in [
    ("SELECT NOPE FROM T", (), None),
    ("SELECT ID FROM T WHERE ID = ?", ("twelve",), "22018"),
    ("INSERT INTO T (ID, NAME) VALUES (?, ?)", (9, "x" * 30), None),
]:
    try:
        cur.execute(statement, *params)
    except pyodbc.Error as error:
        assert state is None or error.args[0] == state, (statement, error.args)
        assert "[QX]" in error.args[1] and "\0" not in error.args[1], error.args
    else:
        raise AssertionError(f"no error: {statement}")
cnx.rollback()

assert [t.table_name for t in cur.tables()] == ["T"]
assert [(c.column_name, c.type_name) for c in cur.columns(table="T")] == [
    ("ID", "INTEGER"), ("NAME", "VARCHAR"), ("PRICE", "DOUBLE"), ("SEEN", "DATE"), ("AT", "TIME")]
cnx.close()
shutil.rmtree(work, ignore_errors=True)
print("pyodbc: all checks passed")
