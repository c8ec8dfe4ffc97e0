"""Korvex from Python: the PIN-pad control through the library's C interface
(include/korvex/korvex_c.h), with ctypes and nothing else.

    host = korvex.Host()
    pad = korvex.Korvex(host, on_interface_event=print)
    pad.setName("P1")
    ...
    host.run_until(lambda: done, 30.0)

Methods carry the control's own names and arguments and return its own
results (0 started, 1 refused, 7 bad argument, ...); the outcome arrives
through the on_interface_event callback while the host runs. A call the
library cannot make raises KorvexError.

Texts are byte strings in the PIN pad's code page (Windows-1257). They are
given and returned as str whose character U+00nn stands for byte n, as the
`korvex host` bridge writes them (bytes are accepted as well);
to_unicode() turns such a text into readable Unicode.

The library is the file named by the environment variable KORVEX_LIBRARY, or
else libkorvex.so.0 (korvex.dll on Windows) found the way the system finds
shared libraries.
"""

import ctypes
import os

__all__ = ["Host", "Korvex", "KorvexError", "to_unicode", "library_version"]

OK = 0
E_ARGUMENT = -1
E_MEMORY = -2
E_FAILED = -3
E_FILE = -4
E_BUFFER = -5

_c_int16_p = ctypes.POINTER(ctypes.c_int16)
_c_size_p = ctypes.POINTER(ctypes.c_size_t)

INTERFACE_EVENT = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_int32, ctypes.c_int32,
                                   ctypes.POINTER(ctypes.c_char), ctypes.c_size_t)
DEBUG_EVENT = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.c_int16,
                               ctypes.POINTER(ctypes.c_char), ctypes.c_size_t)
DOWNLOAD_PROGRESS = ctypes.CFUNCTYPE(None, ctypes.c_void_p, ctypes.POINTER(ctypes.c_char),
                                     ctypes.c_size_t, ctypes.c_int64, ctypes.c_int64)
DONE = ctypes.CFUNCTYPE(ctypes.c_int, ctypes.c_void_p)


class KorvexError(Exception):
    """A call the library could not make: `status` is the negative code."""

    def __init__(self, status, message):
        super().__init__(f"{message} (status {status})")
        self.status = status
        self.message = message


def _declare(lib):
    text = [ctypes.c_char_p, ctypes.c_size_t]
    host = [ctypes.c_void_p]
    control = [ctypes.c_void_p]
    signatures = {
        "korvex_version": (ctypes.c_char_p, []),
        "korvex_last_error": (ctypes.c_int, [ctypes.c_char_p, ctypes.c_size_t, _c_size_p]),
        "korvex_host_create": (ctypes.c_int, [ctypes.POINTER(ctypes.c_void_p)]),
        "korvex_host_destroy": (None, host),
        "korvex_host_load_registry": (ctypes.c_int, host + text),
        "korvex_host_run_for": (ctypes.c_int, host + [ctypes.c_int64]),
        "korvex_host_run_one": (ctypes.c_int, host + [ctypes.c_int64,
                                                      ctypes.POINTER(ctypes.c_int)]),
        "korvex_host_run_until": (ctypes.c_int, host + [DONE, ctypes.c_void_p, ctypes.c_int64,
                                                        ctypes.POINTER(ctypes.c_int)]),
        "korvex_host_poll": (ctypes.c_int, host),
        "korvex_host_stop": (ctypes.c_int, host),
        "korvex_create": (ctypes.c_int, host + [INTERFACE_EVENT, DEBUG_EVENT, ctypes.c_void_p,
                                                ctypes.POINTER(ctypes.c_void_p)]),
        "korvex_destroy": (None, control),
        "korvex_PerformConnectionTest": (ctypes.c_int, control + [ctypes.c_int16, _c_int16_p]),
        "korvex_InitTransaction": (ctypes.c_int, control + [_c_int16_p]),
        "korvex_InitFromReg": (ctypes.c_int, control + [_c_int16_p]),
        "korvex_setTerminalObject": (ctypes.c_int, control + text + [_c_int16_p]),
        "korvex_StartTransaction": (ctypes.c_int, control + text + [
            ctypes.c_double, ctypes.c_int16, ctypes.c_int, _c_int16_p]),
        "korvex_ChangeTransactionAmount": (ctypes.c_int, control + [ctypes.c_double, _c_int16_p]),
        "korvex_EnterPIN": (ctypes.c_int, control + [_c_int16_p]),
        "korvex_GetFirstCrypto": (ctypes.c_int, control + [ctypes.c_uint8, ctypes.c_int,
                                                           _c_int16_p]),
        "korvex_GetSecondCrypto": (ctypes.c_int, control + [ctypes.c_int16] + text * 4 +
                                   [_c_int16_p]),
        "korvex_getTag": (ctypes.c_int, control + text + [ctypes.c_char_p, ctypes.c_size_t,
                                                          _c_size_p]),
        "korvex_MagnetReader": (ctypes.c_int, control + [_c_int16_p]),
        "korvex_CheckServiceCode": (ctypes.c_int, control + text + [_c_int16_p]),
        "korvex_SetDownloadPath": (ctypes.c_int, control + text),
        "korvex_PrepareDownload": (ctypes.c_int, control),
        "korvex_setDownloadObserver": (ctypes.c_int, control + [DOWNLOAD_PROGRESS,
                                                                ctypes.c_void_p]),
        "korvex_WarmReset": (ctypes.c_int, control + [_c_int16_p]),
        "korvex_ColdReset": (ctypes.c_int, control),
        "korvex_getState": (ctypes.c_int, control + [_c_int16_p]),
        "korvex_setEMVRegistryKey": (ctypes.c_int, control + text),
        "korvex_getName": (ctypes.c_int, control + [ctypes.c_char_p, ctypes.c_size_t,
                                                    _c_size_p]),
        "korvex_setName": (ctypes.c_int, control + text),
        "korvex_getHostIndex": (ctypes.c_int, control + [_c_int16_p]),
    }
    for name, (restype, argtypes) in signatures.items():
        function = getattr(lib, name)
        function.restype = restype
        function.argtypes = argtypes
    return lib


def _load():
    default = "korvex.dll" if os.name == "nt" else "libkorvex.so.0"
    path = os.environ.get("KORVEX_LIBRARY") or default
    return _declare(ctypes.CDLL(path))


_lib = _load()


def library_version():
    """The library's version, "MAJOR.MINOR.PATCH"."""
    return _lib.korvex_version().decode("ascii")


def to_unicode(text):
    """A text of the control (one character per byte) as readable Unicode."""
    return _bytes(text, "text").decode("cp1257", errors="replace")


def _bytes(value, name):
    if isinstance(value, (bytes, bytearray)):
        return bytes(value)
    if isinstance(value, str):
        try:
            return value.encode("latin-1")
        except UnicodeEncodeError as error:
            raise ValueError(f"{name}: character {value[error.start]!r} is above U+00FF; "
                             "texts hold one byte per character") from None
    raise TypeError(f"{name}: expected str or bytes, got {type(value).__name__}")


def _path_args(path):
    """A file path, as the file system names it."""
    data = os.fsencode(path)
    return data, len(data)


def _text_args(value, name):
    data = _bytes(value, name)
    return data, len(data)


def _last_error():
    length = ctypes.c_size_t(0)
    _lib.korvex_last_error(None, 0, ctypes.byref(length))
    buffer = ctypes.create_string_buffer(length.value + 1)
    _lib.korvex_last_error(buffer, len(buffer), ctypes.byref(length))
    return buffer.raw[:length.value].decode("latin-1")


def _check(status):
    if status != OK:
        raise KorvexError(status, _last_error())


def _read_text(function, *args):
    """A text out-parameter: asked for with a guess, again with the right size."""
    length = ctypes.c_size_t(0)
    capacity = 256
    while True:
        buffer = ctypes.create_string_buffer(capacity)
        status = function(*args, buffer, capacity, ctypes.byref(length))
        if status != E_BUFFER:
            _check(status)
            return buffer.raw[:length.value].decode("latin-1")
        capacity = length.value + 1


class Host:
    """A host on the real network and clock. Run it (run_for, run_until,
    run_one) or poll it from the thread that uses its controls; events are
    delivered only then. A Python exception raised by a callback is raised
    again by the call that was running when it happened."""

    def __init__(self):
        handle = ctypes.c_void_p()
        _check(_lib.korvex_host_create(ctypes.byref(handle)))
        self._handle = handle
        self._pending = []
        self._controls = []

    def close(self):
        """Destroys the host, after every control still open on it."""
        for control in list(self._controls):
            control.close()
        if self._handle:
            _lib.korvex_host_destroy(self._handle)
            self._handle = None

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    def _live(self):
        if not self._handle:
            raise KorvexError(E_ARGUMENT, "the host is closed")
        return self._handle

    def _call(self, status):
        """Checks a status, then raises what a callback raised meanwhile."""
        _check(status)
        if self._pending:
            error = self._pending.pop(0)
            self._pending.clear()
            raise error

    def load_registry(self, path):
        """Takes the router addresses from a registry export file (.reg)."""
        self._call(_lib.korvex_host_load_registry(self._live(), *_path_args(path)))

    def run_for(self, seconds):
        self._call(_lib.korvex_host_run_for(self._live(), _ms(seconds)))

    def run_one(self, max_wait_seconds):
        """Delivers one event, waiting up to the time given; whether it did."""
        delivered = ctypes.c_int(0)
        self._call(_lib.korvex_host_run_one(self._live(), _ms(max_wait_seconds),
                                            ctypes.byref(delivered)))
        return bool(delivered.value)

    def run_until(self, done, max_seconds):
        """Runs until done() is true or the time is up; whether done() held."""
        def check(_user):
            try:
                return 1 if done() else 0
            except BaseException as error:  # raised again once the loop returns
                self._pending.append(error)
                return 1

        callback = DONE(check)
        held = ctypes.c_int(0)
        self._call(_lib.korvex_host_run_until(self._live(), callback, None, _ms(max_seconds),
                                              ctypes.byref(held)))
        return bool(held.value)

    def poll(self):
        """Delivers the events pending now, without waiting."""
        self._call(_lib.korvex_host_poll(self._live()))

    def stop(self):
        """Makes the running loop return. Any thread."""
        _check(_lib.korvex_host_stop(self._live()))


def _ms(seconds):
    if seconds < 0:
        raise ValueError(f"a time of {seconds} s is negative")
    return int(round(seconds * 1000))


class Korvex:
    """The control of one PIN pad on `host`.

    on_interface_event(event_type, code, text) and on_debug_event(level, text)
    are called on the host's thread while it runs, and during the calls that
    raise events at once."""

    def __init__(self, host, on_interface_event=None, on_debug_event=None):
        self._host = host
        self._on_interface = on_interface_event
        self._on_debug = on_debug_event
        self._progress = None
        # The ctypes callbacks must live as long as the control.
        self._interface_callback = INTERFACE_EVENT(self._interface_event)
        self._debug_callback = DEBUG_EVENT(self._debug_event)
        self._progress_callback = None
        handle = ctypes.c_void_p()
        _check(_lib.korvex_create(host._live(), self._interface_callback,
                                  self._debug_callback, None, ctypes.byref(handle)))
        self._handle = handle
        host._controls.append(self)

    def close(self):
        """Drops the connection silently and frees the control."""
        if self._handle:
            _lib.korvex_destroy(self._handle)
            self._handle = None
            self._host._controls.remove(self)

    def __enter__(self):
        return self

    def __exit__(self, *exc):
        self.close()

    # ---- callbacks --------------------------------------------------------

    def _deliver(self, handler, *args):
        if handler is None:
            return
        try:
            handler(*args)
        except BaseException as error:  # raised again by the running call
            self._host._pending.append(error)

    def _interface_event(self, _user, event_type, code, text, length):
        self._deliver(self._on_interface, event_type, code,
                      ctypes.string_at(text, length).decode("latin-1"))

    def _debug_event(self, _user, level, text, length):
        self._deliver(self._on_debug, level, ctypes.string_at(text, length).decode("latin-1"))

    def _progress_event(self, _user, name, length, sent, size):
        self._deliver(self._progress, ctypes.string_at(name, length).decode("latin-1"), sent,
                      size)

    # ---- calls ------------------------------------------------------------

    def _live(self):
        if not self._handle:
            raise KorvexError(E_ARGUMENT, "the control is closed")
        return self._handle

    def _status(self, function, *args):
        result = ctypes.c_int16(0)
        self._host._call(function(self._live(), *args, ctypes.byref(result)))
        return result.value

    def _void(self, function, *args):
        self._host._call(function(self._live(), *args))

    def PerformConnectionTest(self, HostIndex):
        return self._status(_lib.korvex_PerformConnectionTest, HostIndex)

    def InitTransaction(self):
        return self._status(_lib.korvex_InitTransaction)

    def InitFromReg(self):
        return self._status(_lib.korvex_InitFromReg)

    def setTerminalObject(self, path):
        """Binds the terminal configuration of a JSON terminal file."""
        return self._status(_lib.korvex_setTerminalObject, *_path_args(path))

    def StartTransaction(self, DateTime, Amount, CurrencyCode, UseMag):
        return self._status(_lib.korvex_StartTransaction, *_text_args(DateTime, "DateTime"),
                            float(Amount), CurrencyCode, 1 if UseMag else 0)

    def ChangeTransactionAmount(self, Amount):
        return self._status(_lib.korvex_ChangeTransactionAmount, float(Amount))

    def EnterPIN(self):
        return self._status(_lib.korvex_EnterPIN)

    def GetFirstCrypto(self, TerminalDecision, Blacklisted):
        return self._status(_lib.korvex_GetFirstCrypto, TerminalDecision,
                            1 if Blacklisted else 0)

    def GetSecondCrypto(self, DecisionCode, Script71, Script72, IAD, ActionCode):
        texts = []
        for value, name in ((Script71, "Script71"), (Script72, "Script72"), (IAD, "IAD"),
                            (ActionCode, "ActionCode")):
            texts += _text_args(value, name)
        return self._status(_lib.korvex_GetSecondCrypto, DecisionCode, *texts)

    def getTag(self, Tag):
        return _read_text(_lib.korvex_getTag, self._live(), *_text_args(Tag, "Tag"))

    def MagnetReader(self):
        return self._status(_lib.korvex_MagnetReader)

    def CheckServiceCode(self, ServiceCode):
        return self._status(_lib.korvex_CheckServiceCode,
                            *_text_args(ServiceCode, "ServiceCode"))

    def SetDownloadPath(self, Value):
        self._void(_lib.korvex_SetDownloadPath, *_text_args(Value, "Value"))

    def PrepareDownload(self):
        self._void(_lib.korvex_PrepareDownload)

    def setDownloadObserver(self, progress):
        """progress(file_name, bytes_sent, file_size) during a download;
        None removes it."""
        # A null function pointer removes the observer.
        callback = (DOWNLOAD_PROGRESS(self._progress_event) if progress is not None
                    else DOWNLOAD_PROGRESS())
        self._void(_lib.korvex_setDownloadObserver, callback, None)
        self._progress, self._progress_callback = progress, callback

    def WarmReset(self):
        return self._status(_lib.korvex_WarmReset)

    def ColdReset(self):
        self._void(_lib.korvex_ColdReset)

    def getState(self):
        return self._status(_lib.korvex_getState)

    def setEMVRegistryKey(self, EMVRegistryKey):
        self._void(_lib.korvex_setEMVRegistryKey, *_text_args(EMVRegistryKey, "EMVRegistryKey"))

    def getName(self):
        return _read_text(_lib.korvex_getName, self._live())

    def setName(self, myName):
        self._void(_lib.korvex_setName, *_text_args(myName, "myName"))

    def getHostIndex(self):
        return self._status(_lib.korvex_getHostIndex)
