"""Values between Python and the engine: the DB-API type objects and
constructors, how a parameter is bound, and how a column value is read.

The engine has no NULL: every item holds a value, the empty value of its
type (0, the empty text) when never written.  None binds that empty value;
an empty date or time reads back as None, an empty number as 0 and an empty
text as ''.  Times keep hours and minutes (a time item stores HHMM)."""
import ctypes
import datetime
import decimal
import numbers
import time

from . import _library as L
from .exceptions import DataError, InterfaceError, NotSupportedError


class DBAPITypeObject:
    """Compares equal to each type code of its group (DB-API 2.0)."""

    def __init__(self, name, *codes):
        self.name = name
        self.codes = frozenset(codes)

    def __eq__(self, other):
        return other is self or other in self.codes

    def __hash__(self):
        return hash(self.name)

    def __repr__(self):
        return self.name


# The type codes of Cursor.description, by the engine's value type.
TYPE_CODES = {L.TYPE_INTEGER: "INTEGER", L.TYPE_REAL: "REAL", L.TYPE_FIXED: "DECIMAL", L.TYPE_TEXT: "TEXT",
              L.TYPE_DATE: "DATE", L.TYPE_TIME: "TIME", L.TYPE_MEMO: "MEMO", L.TYPE_BINARY: "BINARY"}

STRING = DBAPITypeObject("STRING", "TEXT", "MEMO")
BINARY = DBAPITypeObject("BINARY", "BINARY")
NUMBER = DBAPITypeObject("NUMBER", "INTEGER", "REAL", "DECIMAL")
DATETIME = DBAPITypeObject("DATETIME", "DATE", "TIME")
ROWID = DBAPITypeObject("ROWID")

Date = datetime.date
Time = datetime.time
Timestamp = datetime.datetime
Binary = bytes


def DateFromTicks(ticks):
    return Date(*time.localtime(ticks)[:3])


def TimeFromTicks(ticks):
    return Time(*time.localtime(ticks)[3:6])


def TimestampFromTicks(ticks):
    return Timestamp(*time.localtime(ticks)[:6])


_INT64 = (-(1 << 63), (1 << 63) - 1)


def _bind_integer(engine, handle, number, value):
    if not _INT64[0] <= value <= _INT64[1]:
        raise DataError("parameter %d: %d is beyond 64-bit integers" % (number, value), 0, "22003")
    return engine.QXSQLBindInteger(handle, number, int(value))


def _bind_text(engine, handle, number, value):
    text = value.encode("utf-8")
    return engine.QXSQLBindText(handle, number, text, len(text))


def _bind_binary(engine, handle, number, value):
    data = bytes(value)
    return engine.QXSQLBindBinary(handle, number, data, len(data))


def _bind_timestamp(engine, handle, number, value):
    raise NotSupportedError("parameter %d: no item holds a date and a time together; "
                            "bind .date() or .time()" % number, 0, "0A000")


# By exact type first (the common case), then by kind, in this order.
_BINDERS = [
    (type(None), lambda engine, handle, number, value: engine.QXSQLBindNull(handle, number)),
    (str, _bind_text),
    ((bytes, bytearray, memoryview), _bind_binary),
    (numbers.Integral, _bind_integer),
    ((numbers.Real, decimal.Decimal), lambda engine, handle, number, value:
        engine.QXSQLBindReal(handle, number, float(value))),
    (datetime.datetime, _bind_timestamp),
    (datetime.date, lambda engine, handle, number, value:
        engine.QXSQLBindDate(handle, number, value.year, value.month, value.day)),
    (datetime.time, lambda engine, handle, number, value:
        engine.QXSQLBindTime(handle, number, value.hour, value.minute, value.second)),
]
_BINDER_OF_TYPE = {}


def bind(engine, handle, number, value):
    """Binds `value` to parameter `number`: the call's status (0, or -1
    with the error on the handle).  Raises for a value of no engine type."""
    binder = _BINDER_OF_TYPE.get(type(value))
    if binder is None:
        binder = next((b for kind, b in _BINDERS if isinstance(value, kind)), None)
        if binder is None:
            raise InterfaceError("parameter %d: cannot bind a value of type %s" % (number, type(value).__name__))
        _BINDER_OF_TYPE[type(value)] = binder
    return binder(engine, handle, number, value)


def _text(value):
    return value.text.decode("utf-8", "replace")


def _date(value):
    # YYYYMMDD (short date items too); an impossible date, which lenient
    # writes may keep, comes back as its text.
    digits = _text(value)
    if digits.strip() == "":
        return None
    try:
        return Date(int(digits[:4]), int(digits[4:6]), int(digits[6:8]))
    except ValueError:
        return digits


def _time(value):
    if value.text.strip() == b"":
        return None
    n = value.integer
    try:
        return Time(n // 10000, n // 100 % 100, n % 100)
    except ValueError:
        return _text(value)


def long_data(engine, handle, column):
    """The whole memo of a column of the current row, as bytes (b"" for no memo)."""
    address = ctypes.c_uint64(0)
    if engine.QXSQLGetLongData(handle, column, ctypes.byref(address)) != 0 or address.value == 0:
        return b""
    header = L.MemoHeader.from_address(address.value)
    return ctypes.string_at(address.value + header.data_offset, header.data_length)


# How a QXSQLValue becomes a Python value, by its type; memos are read whole
# by the cursor (long_data).
READERS = {
    L.TYPE_INTEGER: lambda value: value.integer,
    L.TYPE_REAL: lambda value: value.real,
    L.TYPE_TEXT: _text,
    L.TYPE_FIXED: lambda value: decimal.Decimal(value.text.decode("ascii")),
    L.TYPE_DATE: _date,
    L.TYPE_TIME: _time,
}
