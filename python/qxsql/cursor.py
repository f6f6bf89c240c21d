"""A cursor: runs statements through the engine's prepared statements (a
parameter value is bound, never written into the SQL text) and reads the
rows of the last one.

A cursor keeps the plan of its last statement: running the same text again,
or executemany(), compiles it once.  The result of a SELECT is complete when
execute() returns; fetching reads it row by row."""
import collections.abc
import ctypes
import re

from . import _library as L
from . import types
from .exceptions import InterfaceError, ProgrammingError, error_for

_WORD = re.compile(r"\s*\(*\s*([A-Za-z]+)")
CHANGE_WORDS = frozenset(("INSERT", "UPDATE", "DELETE"))
TRANSACTION_WORDS = frozenset(("BEGIN", "COMMIT", "ROLLBACK"))


def leading_word(statement):
    """The first word of a statement, in capitals ("" when there is none)."""
    match = _WORD.match(statement)
    return match.group(1).upper() if match else ""


def engine_error(engine, handle):
    """The exception for the last error recorded on a handle."""
    text = ctypes.create_string_buffer(256)
    state = ctypes.create_string_buffer(6)
    engine.QXSQLErreur(handle, text, state)
    message = text.value.decode("utf-8", "replace").strip() or "the statement failed"
    return error_for(message, engine.QXSQLErrorNumber(handle), state.value.decode("ascii", "replace"))


class Cursor:
    def __init__(self, connection):
        self.connection = connection
        self.arraysize = 1
        self.description = None
        self.rowcount = -1
        self.lastrowid = None
        self._lib = connection._lib
        self._handle = ctypes.c_uint64(0)
        self._statement = None
        self._parameters = 0
        self._columns = 0
        self._value = L.Value()
        self._closed = False

    # -- running ---------------------------------------------------------------

    def execute(self, operation, parameters=()):
        self._run(operation, (parameters,))
        return self

    def executemany(self, operation, seq_of_parameters):
        self._run(operation, seq_of_parameters)
        return self

    def _run(self, operation, parameter_sets):
        self._check_open()
        if not isinstance(operation, str):
            raise ProgrammingError("the statement must be a str, not %s" % type(operation).__name__)
        connection = self.connection
        engine, host = self._lib.engine, self._lib.host
        word = leading_word(operation)
        with L.ENGINE_LOCK:
            self.description, self.rowcount, self._columns = None, -1, 0
            connection._before(word)
            handle = self._prepare(operation)
            info = connection._exec_info()
            before, runs = host.QXHostChangeCount(connection._context), 0
            for parameters in parameter_sets:
                runs += 1
                self._bind(parameters)
                if engine.QXSQLExecute(handle, info) != 0:
                    raise engine_error(engine, handle)
            changed = host.QXHostChangeCount(connection._context) - before
            connection._after(word)
            counts = ctypes.string_at(info, L.COUNTS_SIZE) if runs else bytes(L.COUNTS_SIZE)
            self._columns = int.from_bytes(counts[2:4], "little")
            if self._columns > 0:
                self.description = self._describe(info)
                self.rowcount = int.from_bytes(counts[4:8], "little")
            elif word in CHANGE_WORDS:
                self.rowcount = changed
            elif word not in TRANSACTION_WORDS:
                connection._forget_plans()

    def _prepare(self, operation):
        """The handle of `operation` compiled, reused when it is the last one."""
        if self._handle.value and operation == self._statement:
            return self._handle
        self._forget_plan()
        engine = self._lib.engine
        count = ctypes.c_uint16(0)
        if engine.QXSQLPrepare(ctypes.byref(self._handle), operation.encode("utf-8"),
                               self.connection._context, ctypes.byref(count)) != 0:
            error = engine_error(engine, self._handle)
            self._forget_plan()
            raise error
        self._statement, self._parameters = operation, count.value
        return self._handle

    def _bind(self, parameters):
        if parameters is None:
            parameters = ()
        elif type(parameters) not in (tuple, list) and (
                isinstance(parameters, (str, bytes, collections.abc.Mapping))
                or not isinstance(parameters, collections.abc.Sequence)):
            raise ProgrammingError("parameters go in a sequence (qmark style), not a %s" % type(parameters).__name__)
        if len(parameters) != self._parameters:
            raise ProgrammingError("the statement has %d parameters, %d given" % (self._parameters, len(parameters)),
                                   0, "07001")
        engine = self._lib.engine
        for number, value in enumerate(parameters, 1):
            if types.bind(engine, self._handle, number, value) != 0:
                raise engine_error(engine, self._handle)

    def _describe(self, info):
        """7-tuples of the result's columns: name, type code, display size;
        the type codes come from the typed read of the columns."""
        text = ctypes.string_at(ctypes.addressof(info) + L.COUNTS_SIZE).decode("utf-8", "replace")
        description = []
        for column, line in enumerate(text.split("\r\n")[:self._columns], 1):
            name, _letter, _host_type, size = line.rsplit("\t", 3)
            self._lib.engine.QXSQLColumnValue(self._handle, column, ctypes.byref(self._value))
            code = types.TYPE_CODES.get(self._value.type)
            scale = 6 if code == "DECIMAL" else None
            description.append((name, code, int(size), None, None, scale, None))
        return description

    # -- fetching --------------------------------------------------------------

    def fetchone(self):
        with L.ENGINE_LOCK:
            self._check_result()
            return self._next_row()

    def fetchmany(self, size=None):
        size = self.arraysize if size is None else size
        with L.ENGINE_LOCK:
            self._check_result()
            rows = []
            while len(rows) < size:
                row = self._next_row()
                if row is None:
                    break
                rows.append(row)
            return rows

    def fetchall(self):
        with L.ENGINE_LOCK:
            self._check_result()
            return list(iter(self._next_row, None))

    def __iter__(self):
        return self

    def __next__(self):
        row = self.fetchone()
        if row is None:
            raise StopIteration
        return row

    def _next_row(self):
        engine, handle, value = self._lib.engine, self._handle, self._value
        if engine.QXSQLFetchNext(handle) != 0:
            return None
        column_value, reference, row = engine.QXSQLColumnValue, ctypes.byref(value), []
        for column in range(1, self._columns + 1):
            column_value(handle, column, reference)
            reader = types.READERS.get(value.type)
            if reader is not None:
                row.append(reader(value))
            elif value.type == L.TYPE_MEMO:
                row.append(types.long_data(engine, handle, column).decode("utf-8", "replace"))
            elif value.type == L.TYPE_BINARY:
                row.append(types.long_data(engine, handle, column))
            else:
                row.append(None)
        return tuple(row)

    # -- the rest --------------------------------------------------------------

    def setinputsizes(self, sizes):
        pass

    def setoutputsize(self, size, column=None):
        pass

    def close(self):
        if not self._closed:
            with L.ENGINE_LOCK:
                self._forget_plan()
            self._closed = True

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def __del__(self):
        try:
            self.close()
        except Exception:
            pass

    def _forget_plan(self):
        if self._handle.value:
            self._lib.engine.QXSQLFinRequete(self._handle)
        self._handle = ctypes.c_uint64(0)
        self._statement, self._parameters, self._columns = None, 0, 0

    def _check_open(self):
        if self._closed:
            raise InterfaceError("the cursor is closed")
        self.connection._check_open()

    def _check_result(self):
        self._check_open()
        if self._columns == 0:
            raise ProgrammingError("the last statement gave no rows to fetch")
