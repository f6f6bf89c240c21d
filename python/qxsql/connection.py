"""A connection: one open database directory (a host context of the file
engine) with the engine started for it.

Transactions follow DB-API 2.0: the first INSERT, UPDATE or DELETE opens one
with BEGIN, commit() and rollback() end it, and close() without commit()
undoes it.  Other statements (SELECT, CREATE, DROP, ALTER) do not open one;
CREATE TABLE and CREATE INDEX take effect at once even inside one.  With
autocommit=True no transaction is opened: each statement is committed when
it ends, and BEGIN / COMMIT run by hand still group statements.  Used as a
context manager, a connection commits when the block ends normally, rolls
back when it raises, and closes in both cases."""
import ctypes
import os
import tempfile
import weakref

from . import _library as L
from .cursor import CHANGE_WORDS, Cursor, engine_error, leading_word
from .exceptions import InterfaceError, OperationalError

_LANGUAGES = {"en": "USA", "fr": "FRENCH"}


def _profile_text():
    """The engine's profile as it would read it ("" when there is none)."""
    path = os.environ.get("OMBREL_INI") or os.path.join(os.path.expanduser("~"), ".ombrel.ini")
    try:
        with open(path, encoding="utf-8", errors="replace") as f:
            return f.read()
    except OSError:
        return ""


def _start_engine(engine, language):
    """Starts an engine instance whose messages are in `language`.  The
    engine reads its language from the profile when it starts: it reads a
    copy whose [OMBREL] section starts with the wanted LANGUAGE line."""
    text = "[OMBREL]\nLANGUAGE=%s\n[]\n%s" % (_LANGUAGES[language], _profile_text())
    previous = os.environ.get("OMBREL_INI")
    fd, path = tempfile.mkstemp(prefix="qxsql-profile-")
    try:
        with os.fdopen(fd, "w", encoding="utf-8") as f:
            f.write(text)
        os.environ["OMBREL_INI"] = path
        return engine.OB4InitInstance(0, None) != 0
    finally:
        if previous is None:
            del os.environ["OMBREL_INI"]
        else:
            os.environ["OMBREL_INI"] = previous
        os.unlink(path)


class Connection:
    def __init__(self, path, create=False, strict=True, language="en", autocommit=False, timeout=None):
        self._context = 0
        if language not in _LANGUAGES:
            raise InterfaceError("language must be one of %s, not %r" % (", ".join(sorted(_LANGUAGES)), language))
        try:
            self._lib = L.libraries()
        except OSError as e:
            raise InterfaceError(str(e)) from None
        engine, host = self._lib.engine, self._lib.host
        with L.ENGINE_LOCK:
            if not _start_engine(engine, language):
                raise InterfaceError("the SQL engine did not start: the file engine's callbacks were not found")
            error = ctypes.create_string_buffer(512)
            context = host.QXHostOpen(os.fsencode(path), 1 if create else 0, error, len(error))
            if context == 0:
                engine.OBSQLFinInstance(0)
                raise OperationalError(error.value.decode("utf-8", "replace") or "cannot open %s" % path)
            engine.QXSQLSetStrict(context, 1 if strict else 0)
            if timeout is not None:
                host.QXHostSetOption(context, L.OPTION_BUSY_TIMEOUT, int(timeout * 1000))
        self._context = context
        self._autocommit = bool(autocommit)
        self._in_transaction = False
        self._cursors = weakref.WeakSet()
        self._info = None

    # -- DB-API --------------------------------------------------------------

    def cursor(self):
        self._check_open()
        cursor = Cursor(self)
        self._cursors.add(cursor)
        return cursor

    def commit(self):
        self._check_open()
        if self._in_transaction:
            self._run_alone("COMMIT")

    def rollback(self):
        self._check_open()
        if self._in_transaction:
            self._run_alone("ROLLBACK")

    def close(self):
        """Closes the connection and its cursors; an open transaction is undone."""
        if self._context == 0:
            return
        with L.ENGINE_LOCK:
            for cursor in list(self._cursors):
                cursor.close()
            self._lib.host.QXHostClose(self._context)
            self._lib.engine.OBSQLFinInstance(0)
            self._context = 0
            self._in_transaction = False

    def __enter__(self):
        return self

    def __exit__(self, kind, value, traceback):
        try:
            if self._context != 0:
                if kind is None:
                    self.commit()
                else:
                    self.rollback()
        finally:
            self.close()

    def __del__(self):
        try:
            self.close()
        except Exception:
            pass

    # -- beyond DB-API -------------------------------------------------------

    def execute(self, operation, parameters=()):
        """A new cursor that has run `operation`."""
        return self.cursor().execute(operation, parameters)

    @property
    def in_transaction(self):
        return self._in_transaction

    @property
    def autocommit(self):
        return self._autocommit

    @autocommit.setter
    def autocommit(self, on):
        """Turning autocommit on commits the open transaction."""
        if on and not self._autocommit:
            self.commit()
        self._autocommit = bool(on)

    @property
    def closed(self):
        return self._context == 0

    def interrupt(self):
        """Stops the statement running in the process, on any connection (it
        fails with OperationalError, SQLSTATE 57014); for another thread."""
        self._lib.engine.QXSQLInterrupt()

    # -- for cursors ---------------------------------------------------------

    def _check_open(self):
        if self._context == 0:
            raise InterfaceError("the connection is closed")

    def _exec_info(self):
        if self._info is None:
            self._info = ctypes.create_string_buffer(L.EXEC_INFO_SIZE)
        return self._info

    def _before(self, word):
        """Opens the implicit transaction before a change of records."""
        if word in CHANGE_WORDS and not self._autocommit and not self._in_transaction:
            self._run_alone("BEGIN")

    def _after(self, word):
        """Follows BEGIN, COMMIT and ROLLBACK the caller ran."""
        if word == "BEGIN":
            self._in_transaction = True
        elif word in ("COMMIT", "ROLLBACK"):
            self._in_transaction = False

    def _forget_plans(self):
        """After a schema statement: the plans the cursors keep were made
        for the tables as they were."""
        for cursor in list(self._cursors):
            cursor._forget_plan()

    def _run_alone(self, statement):
        """Runs a statement that takes no parameter and gives no rows."""
        engine = self._lib.engine
        with L.ENGINE_LOCK:
            handle = ctypes.c_uint64(0)
            try:
                if (engine.QXSQLPrepare(ctypes.byref(handle), statement.encode(), self._context, None) != 0
                        or engine.QXSQLExecute(handle, None) != 0):
                    raise engine_error(engine, handle)
            finally:
                if handle.value:
                    engine.QXSQLFinRequete(handle)
            self._after(leading_word(statement))
