"""The exception classes of DB-API 2.0.  An error of the engine carries its
message number (.number, 0 for an error that has none, such as the file
engine's) and its SQLSTATE (.sqlstate); the class follows the SQLSTATE's
class, the first two characters."""


class Warning(Exception):  # noqa: A001 - the name DB-API 2.0 gives it
    pass


class Error(Exception):
    def __init__(self, message, number=0, sqlstate=None):
        super().__init__(message)
        self.number = number
        self.sqlstate = sqlstate


class InterfaceError(Error):
    pass


class DatabaseError(Error):
    pass


class DataError(DatabaseError):
    pass


class OperationalError(DatabaseError):
    pass


class IntegrityError(DatabaseError):
    pass


class InternalError(DatabaseError):
    pass


class ProgrammingError(DatabaseError):
    pass


class NotSupportedError(DatabaseError):
    pass


_BY_CLASS = {
    "07": ProgrammingError,   # dynamic SQL: parameter count, parameter number
    "08": OperationalError,   # connection
    "0A": NotSupportedError,  # feature not supported
    "21": ProgrammingError,   # cardinality: value count against items
    "22": DataError,          # data exception: range, length, format
    "23": IntegrityError,     # constraint: duplicate key
    "24": InternalError,      # cursor state
    "25": InternalError,      # transaction state
    "2D": InternalError,      # transaction termination
    "40": OperationalError,   # transaction rolled back
    "42": ProgrammingError,   # syntax, unknown table or item
    "44": ProgrammingError,
    "53": OperationalError,   # resources
    "54": OperationalError,   # limits
    "55": OperationalError,   # object not ready: busy database
    "57": OperationalError,   # operator intervention: interrupted
    "58": OperationalError,   # system: the host could not commit
    "HY": InterfaceError,     # call sequence
    "XX": InternalError,
}


# The engine's older messages share the SQLSTATE 00123, of no class: their
# number tells.  Past these, 4243 to 4304 are syntax and reference errors.
_BY_NUMBER = {4241: InternalError, 4242: OperationalError, 4244: OperationalError, 4288: IntegrityError,
              4298: NotSupportedError, 4300: OperationalError, 4305: OperationalError}


def error_for(message, number, sqlstate):
    """The exception for an engine error of this SQLSTATE and number."""
    cls = _BY_CLASS.get((sqlstate or "")[:2])
    if sqlstate == "HY000" or (cls is None and number == 0):
        cls = DatabaseError
    elif cls is None:
        cls = _BY_NUMBER.get(number, ProgrammingError if 4243 <= number <= 4304 else DatabaseError)
    return cls(message, number, sqlstate)
