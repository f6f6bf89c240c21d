# The qxsql module against real databases: values of every item type at
# their limits, errors with their number and SQLSTATE, executemany, the
# implicit transactions, fetching and description, pandas, and the engine
# working while other threads run.
import datetime as dt
import os
import subprocess
import threading
import time
from decimal import Decimal

import pytest

import qxsql

ANALYSIS = """ANALYSIS 1
FILE T
ITEM I32 5 UNIQUE
ITEM I8 1
ITEM U8 2
ITEM I16 3
ITEM U16 4
ITEM U32 6
ITEM F4 7
ITEM F8 9
ITEM FX 10
ITEM TM 12
ITEM TX 13 20
ITEM TZ 15 11
ITEM BM 22
ITEM D 98 9
ITEM D6 98 7
ITEM H 99
"""
CODES = {"I": "INTEGER", "U": "INTEGER", "F4": "REAL", "F8": "REAL", "FX": "DECIMAL", "TM": "MEMO", "TX": "TEXT",
         "TZ": "TEXT", "BM": "BINARY", "D": "DATE", "H": "TIME"}


@pytest.fixture
def path(tmp_path):
    (tmp_path / "analysis.qxa").write_text(ANALYSIS)
    return str(tmp_path)


@pytest.fixture
def db(path):
    with qxsql.connect(path) as connection:
        yield connection


@pytest.fixture(scope="module")
def demo(tmp_path_factory):
    shell = os.environ.get("QX_SHELL")
    if not shell:
        pytest.skip("QX_SHELL (the qxsql shell that builds the demo database) is not set")
    target = str(tmp_path_factory.mktemp("demo") / "db")
    subprocess.run([os.path.join(os.environ["QX_DEMO_DIR"], "rebuild.sh"), shell, target], check=True,
                   stdout=subprocess.DEVNULL)
    return target


@pytest.mark.parametrize("item, value, expected", [
    ("I8", -128, -128), ("I8", 127, 127), ("U8", 255, 255), ("I16", -32768, -32768), ("U16", 65535, 65535),
    ("I32", -2147483648, -2147483648), ("I32", 2147483647, 2147483647), ("U32", 4294967295, 4294967295),
    ("I32", True, 1), ("I8", 2.7, 2), ("F8", 3, 3.0), ("F4", 1.5, 1.5), ("F8", 1e300, 1e300), ("F8", -2.5e-7, -2.5e-7),
    ("FX", Decimal("-123456789.123456"), Decimal("-123456789.123456")), ("FX", Decimal("0.000001"), Decimal("0.000001")),
    ("TX", "it's \"q\"; DROP", "it's \"q\"; DROP"), ("TX", "été", "été"), ("TX", "", ""), ("TZ", "a  ", "a"),
    ("TM", "mémo " * 1000, "mémo " * 1000), ("TM", None, ""),
    ("D", dt.date(1, 1, 1), dt.date(1, 1, 1)), ("D", dt.date(9999, 12, 31), dt.date(9999, 12, 31)),
    ("D", dt.date(2024, 2, 29), dt.date(2024, 2, 29)), ("D", None, None), ("D6", dt.date(1999, 12, 31), dt.date(1999, 12, 31)),
    ("H", dt.time(23, 59), dt.time(23, 59)), ("H", dt.time(0, 0), dt.time(0, 0)), ("H", None, None),
    ("H", dt.time(12, 34, 56), dt.time(12, 34)),  # a time item keeps hours and minutes
    ("BM", b"", b""),
    pytest.param("BM", bytes(range(1, 256)) * 40, bytes(range(1, 256)) * 40),
], ids=lambda value: repr(value)[:16])
def test_values_round_trip(db, item, value, expected):
    cur = db.cursor()
    key = 7 if item != "I32" else value
    cur.execute("INSERT INTO T (I32%s) VALUES (?%s)" % ((", " + item, ", ?") if item != "I32" else ("", "")),
                (key, value) if item != "I32" else (key,))
    cur.execute("SELECT %s FROM T WHERE I32 = ?" % item, (key,))
    assert cur.fetchall() == [(expected,)]
    assert type(cur.description[0][0]) is str and cur.description[0][1] == (CODES.get(item) or CODES[item[0]])


@pytest.mark.parametrize("statement, runs, error, number, state", [
    ("SELECT NOPE FROM T", [()], qxsql.ProgrammingError, 4281, "00123"),
    ("SELECT I32 FROM NOPE", [()], qxsql.ProgrammingError, 4243, "00123"),
    ("CREATE TABLE T (A INTEGER)", [()], qxsql.ProgrammingError, 4341, "42S01"),
    ("COMMIT", [()], qxsql.InternalError, 4312, "2D000"),
    pytest.param("INSERT INTO T (I32) VALUES (?)", [(5,), (5,)], qxsql.IntegrityError, 4288, "23000"),
    ("INSERT INTO T (I32, F8) VALUES (?, ?)", [(1, "1.5")], qxsql.DataError, 4360, "22005"),
    ("INSERT INTO T (I32, TX) VALUES (?, ?)", [(1, "a\0b")], qxsql.DataError, 4363, "22021"),
    ("INSERT INTO T (I32, BM) VALUES (?, ?)", [(1, b"\0")], qxsql.DataError, 4363, "22021"),
    pytest.param("INSERT INTO T (I32, I8) VALUES (?, ?)", [(1, 128)], qxsql.DataError, 4321, "22003"),
    pytest.param("INSERT INTO T (I32, TX) VALUES (?, ?)", [(1, "a" * 21)], qxsql.DataError, 4322, "22001"),
    ("SELECT I32 FROM T WHERE I32 = ?", [(1, 2)], qxsql.ProgrammingError, 0, "07001"),
    ("SELECT I32 FROM T WHERE I32 = ?", [{"a": 1}], qxsql.ProgrammingError, 0, None),
    ("SELECT I32 FROM T WHERE I32 = ?", [(2 ** 63,)], qxsql.DataError, 0, "22003"),
    ("SELECT I32 FROM T WHERE I32 = ?", [(object(),)], qxsql.InterfaceError, 0, None),
    ("SELECT I32 FROM T WHERE D = ?", [(dt.datetime(2024, 1, 1, 12),)], qxsql.NotSupportedError, 0, "0A000"),
])
def test_errors(db, statement, runs, error, number, state):
    with pytest.raises(error) as raised:
        db.cursor().executemany(statement, runs)
    assert (raised.value.number, raised.value.sqlstate) == (number, state), str(raised.value)
    assert db.execute("SELECT COUNT(*) FROM T").fetchone() == (1 if runs == [(5,), (5,)] else 0,)


def test_executemany_prepares_once(db, monkeypatch):
    engine = db._lib.engine
    prepare, calls = engine.QXSQLPrepare, []
    monkeypatch.setattr(engine, "QXSQLPrepare", lambda *args: calls.append(args[1]) or prepare(*args))
    cur = db.cursor()
    cur.executemany("INSERT INTO T (I32, TX) VALUES (?, ?)", ((n, "r%d" % n) for n in range(1000)))
    assert cur.rowcount == 1000 and len(calls) == 2  # the statement, and the BEGIN before it
    for statement, parameters, rowcount in [("UPDATE T SET TX = ? WHERE I32 < ?", ("x", 10), 10),
                                            ("DELETE FROM T WHERE I32 >= ?", (990,), 10),
                                            ("SELECT I32 FROM T WHERE TX = ?", ("x",), 10),
                                            ("SELECT I32 FROM T WHERE TX = ?", ("r500",), 1)]:
        assert cur.execute(statement, parameters).rowcount == rowcount, statement
    assert len(calls) == 5 and cur.fetchall() == [(500,)]
    db.commit()
    db.execute("ALTER TABLE T DROP COLUMN I8")  # moves TX: the plan made before goes
    assert cur.execute("SELECT I32 FROM T WHERE TX = ?", ("r500",)).fetchall() == [(500,)] and len(calls) == 8


def test_transactions(path):
    def count():
        with qxsql.connect(path) as other:
            return other.execute("SELECT COUNT(*) FROM T").fetchone()[0]

    db, other = qxsql.connect(path), qxsql.connect(path, timeout=0.1)
    db.execute("INSERT INTO T (I32) VALUES (1)")
    assert db.in_transaction
    with pytest.raises(qxsql.OperationalError) as busy:
        other.execute("SELECT COUNT(*) FROM T")  # other connections wait for the transaction's end
    assert (busy.value.number, busy.value.sqlstate) == (4314, "55006")
    other.close()
    db.rollback()
    assert not db.in_transaction and count() == 0
    db.execute("INSERT INTO T (I32) VALUES (2)")
    db.commit()
    db.execute("INSERT INTO T (I32) VALUES (3)")
    db.close()  # undoes the open transaction
    assert count() == 1
    with pytest.raises(ZeroDivisionError):
        with qxsql.connect(path) as db:
            db.execute("DELETE FROM T")
            1 / 0
    assert db.closed and count() == 1
    with qxsql.connect(path) as db:
        db.execute("DELETE FROM T")
    assert count() == 0
    with qxsql.connect(path, autocommit=True) as db:
        db.execute("INSERT INTO T (I32) VALUES (4)")
        assert not db.in_transaction and count() == 1
        db.execute("BEGIN")
        db.execute("INSERT INTO T (I32) VALUES (5)")
        assert db.in_transaction
        db.rollback()
    assert count() == 1


def test_fetching_and_description(demo):
    with qxsql.connect(demo) as db, db.cursor() as cur:
        cur.execute("SELECT CODE, PRICE, STOCK, NOTES, LABEL FROM PRODUCTS WHERE PRICE > ? ORDER BY CODE", (200,))
        assert [d[:2] for d in cur.description] == [("CODE", "TEXT"), ("PRICE", "REAL"), ("STOCK", "INTEGER"),
                                                     ("NOTES", "MEMO"), ("LABEL", "BINARY")]
        assert [d[1] for d in cur.description] == [qxsql.STRING, qxsql.NUMBER, qxsql.NUMBER, qxsql.STRING, qxsql.BINARY]
        assert cur.rowcount == 3 and all(len(d) == 7 for d in cur.description)
        cur.arraysize = 2
        rows = cur.fetchmany() + [cur.fetchone()] + cur.fetchall()
        assert [r[0] for r in rows] == ["DESK01", "DESK02", "SCREEN01"] and cur.fetchone() is None
        assert rows[0][3].startswith("Electric") and rows[0][4] == b"QX-SHOP DESK01\n" and rows[1][4] == b""
        assert [r[0] for r in cur.execute("SELECT CODE FROM PRODUCTS WHERE PRICE > ?", (200,))] == [r[0] for r in rows]
        cur.execute("CREATE TABLE EMPTY (A INTEGER)")
        assert cur.description is None and cur.rowcount == -1
        with pytest.raises(qxsql.ProgrammingError):
            cur.fetchone()
    for closed in (lambda: cur.execute("SELECT 1"), lambda: db.cursor()):
        with pytest.raises(qxsql.InterfaceError):
            closed()
    with qxsql.connect(demo, language="fr") as db, pytest.raises(qxsql.ProgrammingError, match="inexistante"):
        db.execute("SELECT * FROM NOPE")


@pytest.mark.filterwarnings("ignore:pandas only supports SQLAlchemy")
def test_pandas_read_sql(db):
    pandas = pytest.importorskip("pandas")
    db.cursor().executemany("INSERT INTO T (I32, F8, FX, TX, D) VALUES (?, ?, ?, ?, ?)",
                            [(1, 0.5, Decimal("1.25"), "a", dt.date(2024, 1, 2)), (2, 1.5, Decimal("2.5"), "b", None)])
    frame = pandas.read_sql("SELECT I32, F8, FX, TX, D FROM T ORDER BY I32", db)
    assert [str(t) for t in frame.dtypes] == ["int64", "float64", "float64", "object", "object"]
    assert frame["FX"].tolist() == [1.25, 2.5] and frame["D"].tolist() == [dt.date(2024, 1, 2), None]


def test_engine_runs_without_the_gil(demo):
    # This thread keeps running while another one's statement works: no
    # pause in its loop comes near the length of the statement.
    span = []

    def work():
        with qxsql.connect(demo) as db:
            start = time.monotonic()
            db.execute("SELECT COUNT(*) FROM ORDERS A, ORDERS B, PRODUCTS C")
            span.append(time.monotonic() - start)

    worker = threading.Thread(target=work)
    worker.start()
    last, longest = time.monotonic(), 0.0
    while worker.is_alive():
        now = time.monotonic()
        last, longest = now, max(longest, now - last)
    assert span[0] > 0.1 and longest < span[0] / 2, (span, longest)


def test_interrupt_stops_a_combination_made_in_memory(demo):
    # The three-way product reads each file once and then combines in memory
    # for seconds: a request to stop must end it there too.
    with qxsql.connect(demo) as db:
        timer = threading.Timer(0.2, db.interrupt)
        timer.start()
        start = time.monotonic()
        with pytest.raises(qxsql.OperationalError) as raised:
            db.execute("SELECT COUNT(*) FROM ORDERS A, ORDERS B, ORDERS C")
        timer.join()
        assert (raised.value.number, raised.value.sqlstate) == (4305, "57014")
        assert time.monotonic() - start < 2.0
