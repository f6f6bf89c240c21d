"""qxsql: a DB-API 2.0 (PEP 249) module for QX databases.

    import qxsql
    with qxsql.connect("/data/shop") as db:
        cur = db.cursor()
        cur.execute("SELECT NAME, CITY FROM CLIENTS WHERE NUM > ?", (100,))
        for name, city in cur:
            print(name, city)

It drives the SQL engine (libobsqleng.so) and the QX file engine
(libobhost32.so) through ctypes.  The libraries are looked for in the
directories of QX_LIBRARY_PATH, then where `cmake --install` put them beside
this package, then in the build/ directory of the source tree.  See
connection.py for transactions and types.py for the values."""
from .connection import Connection
from .cursor import Cursor
from .exceptions import (DatabaseError, DataError, Error, IntegrityError, InterfaceError, InternalError,
                         NotSupportedError, OperationalError, ProgrammingError, Warning)
from .types import (BINARY, DATETIME, NUMBER, ROWID, STRING, Binary, Date, DateFromTicks, Time, TimeFromTicks,
                    Timestamp, TimestampFromTicks)

apilevel = "2.0"
# Threads may share the module, not connections: the engine's calls are
# serialised by the module and run without the GIL.
threadsafety = 1
paramstyle = "qmark"


def connect(path, create=False, strict=True, language="en", autocommit=False, timeout=None):
    """Opens the QX database in directory `path`.

    create      make the directory and an empty analysis when missing
    strict      strict values: a write that does not fit an item fails and
                stores nothing (False: the lenient rules, values fitted)
    language    "en" or "fr": the language of the engine's messages (one
                for the whole process: the last connect() sets it)
    autocommit  no implicit transaction (see Connection)
    timeout     seconds a statement waits for another connection's lock
                (the file engine's default when None: 5)"""
    return Connection(path, create, strict, language, autocommit, timeout)


__all__ = ["connect", "Connection", "Cursor", "apilevel", "threadsafety", "paramstyle",
           "Warning", "Error", "InterfaceError", "DatabaseError", "DataError", "OperationalError",
           "IntegrityError", "InternalError", "ProgrammingError", "NotSupportedError",
           "STRING", "BINARY", "NUMBER", "DATETIME", "ROWID",
           "Date", "Time", "Timestamp", "DateFromTicks", "TimeFromTicks", "TimestampFromTicks", "Binary"]
