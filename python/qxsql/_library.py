"""The two shared libraries under the module: where they are, how they load,
and the C signatures of the calls the module makes.

Every call goes through ctypes.CDLL, which releases the GIL for the length of
the call: other Python threads run while the engine works.  The engine itself
takes calls from one thread at a time, so the module serialises them with
ENGINE_LOCK (threads may share the module; a connection is for one thread).
"""
import ctypes
import os
import threading

ENGINE_LIBRARY = "libobsqleng.so"
HOST_LIBRARY = "libobhost32.so"

ENGINE_LOCK = threading.RLock()

# Filled by QXSQLExecute: the counts, then "name\tletter\thosttype\tsize"
# lines joined by CR LF, as long as the result's columns need.
EXEC_INFO_SIZE = 1 << 21
COUNTS_SIZE = 8

# QXSQL_TYPE_* of a typed column value.
TYPE_NONE, TYPE_INTEGER, TYPE_REAL, TYPE_FIXED, TYPE_TEXT, TYPE_DATE, TYPE_TIME, TYPE_MEMO, TYPE_BINARY = range(9)

# qxhost.h's options of an open database.
OPTION_BUSY_TIMEOUT = 2


class Value(ctypes.Structure):
    """QXSQLValue: one column of the current row, typed."""
    _fields_ = [("type", ctypes.c_int32), ("size", ctypes.c_uint32), ("integer", ctypes.c_int64),
                ("real", ctypes.c_double), ("text", ctypes.c_char_p)]


class MemoHeader(ctypes.Structure):
    """The head of the memo value block QXSQLGetLongData points to."""
    _pack_ = 1
    _fields_ = [("private1", ctypes.c_ubyte * 3), ("data_offset", ctypes.c_uint16),
                ("private2", ctypes.c_ubyte * 49), ("data_length", ctypes.c_uint32)]


_HANDLE = ctypes.c_uint64
_PROTOTYPES = {
    # engine
    "OB4InitInstance": (ctypes.c_int16, [ctypes.c_uint32, ctypes.c_void_p]),
    "OBSQLFinInstance": (None, [ctypes.c_uint32]),
    "QXSQLPrepare": (ctypes.c_int16, [ctypes.POINTER(_HANDLE), ctypes.c_char_p, ctypes.c_uint16,
                                      ctypes.POINTER(ctypes.c_uint16)]),
    "QXSQLBindInteger": (ctypes.c_int16, [_HANDLE, ctypes.c_uint16, ctypes.c_int64]),
    "QXSQLBindReal": (ctypes.c_int16, [_HANDLE, ctypes.c_uint16, ctypes.c_double]),
    "QXSQLBindText": (ctypes.c_int16, [_HANDLE, ctypes.c_uint16, ctypes.c_char_p, ctypes.c_int32]),
    "QXSQLBindDate": (ctypes.c_int16, [_HANDLE, ctypes.c_uint16, ctypes.c_int32, ctypes.c_int32, ctypes.c_int32]),
    "QXSQLBindTime": (ctypes.c_int16, [_HANDLE, ctypes.c_uint16, ctypes.c_int32, ctypes.c_int32, ctypes.c_int32]),
    "QXSQLBindBinary": (ctypes.c_int16, [_HANDLE, ctypes.c_uint16, ctypes.c_char_p, ctypes.c_uint32]),
    "QXSQLBindNull": (ctypes.c_int16, [_HANDLE, ctypes.c_uint16]),
    "QXSQLExecute": (ctypes.c_int16, [_HANDLE, ctypes.c_void_p]),
    "QXSQLFetchNext": (ctypes.c_int16, [_HANDLE]),
    "QXSQLColumnValue": (ctypes.c_int16, [_HANDLE, ctypes.c_uint16, ctypes.POINTER(Value)]),
    "QXSQLGetLongData": (ctypes.c_int16, [_HANDLE, ctypes.c_uint16, ctypes.POINTER(ctypes.c_uint64)]),
    "QXSQLErreur": (ctypes.c_int16, [_HANDLE, ctypes.c_char_p, ctypes.c_char_p]),
    "QXSQLErrorNumber": (ctypes.c_int32, [_HANDLE]),
    "QXSQLFinRequete": (ctypes.c_int32, [_HANDLE]),
    "QXSQLSetStrict": (ctypes.c_int16, [ctypes.c_uint16, ctypes.c_int16]),
    "QXSQLInterrupt": (None, []),
    # file engine
    "QXHostOpen": (ctypes.c_uint16, [ctypes.c_char_p, ctypes.c_int, ctypes.c_char_p, ctypes.c_size_t]),
    "QXHostClose": (ctypes.c_int, [ctypes.c_uint16]),
    "QXHostChangeCount": (ctypes.c_uint32, [ctypes.c_uint16]),
    "QXHostSetOption": (ctypes.c_int, [ctypes.c_uint16, ctypes.c_int, ctypes.c_long]),
}


def _installed_library_dir():
    """The library directory of an installed tree, as the install wrote it
    beside the package (relative to the package); None in a source tree."""
    try:
        from . import _installed  # written by cmake --install
    except ImportError:
        return None
    return os.path.normpath(os.path.join(os.path.dirname(__file__), _installed.LIBRARY_DIR))


def _candidate_dirs():
    """Where to look, in order: QX_LIBRARY_PATH (directories separated by
    ':'), the install location, then the build tree beside the sources."""
    dirs = [d for d in os.environ.get("QX_LIBRARY_PATH", "").split(os.pathsep) if d]
    installed = _installed_library_dir()
    if installed is not None:
        dirs.append(installed)
    dirs.append(os.path.join(os.path.dirname(__file__), os.pardir, os.pardir, "build"))
    return dirs


def _find(name, dirs):
    # The file engine sits in host/ of a build tree.
    for d in dirs:
        for path in (os.path.join(d, name), os.path.join(d, "host", name)):
            if os.path.exists(path):
                return os.path.abspath(path)
    return None


class Libraries:
    """The loaded file engine (host) and SQL engine (engine)."""

    def __init__(self):
        dirs = _candidate_dirs()
        paths = [_find(name, dirs) for name in (HOST_LIBRARY, ENGINE_LIBRARY)]
        if None in paths:
            missing = [n for n, p in zip((HOST_LIBRARY, ENGINE_LIBRARY), paths) if p is None]
            raise OSError("cannot find %s in %s (set QX_LIBRARY_PATH to the directory holding them)"
                          % (" and ".join(missing), ", ".join(dirs)))
        # The engine finds the file engine's callbacks among the loaded
        # libraries: the host goes first.
        self.host = ctypes.CDLL(paths[0])
        self.engine = ctypes.CDLL(paths[1])
        for name, (restype, argtypes) in _PROTOTYPES.items():
            function = getattr(self.host if name.startswith("QXHost") else self.engine, name)
            function.restype = restype
            function.argtypes = argtypes


_libraries = None


def libraries():
    """The libraries, loaded on first use (an import never fails for them)."""
    global _libraries
    with ENGINE_LOCK:
        if _libraries is None:
            _libraries = Libraries()
        return _libraries
