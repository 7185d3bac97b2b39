"""Failures of the camera library as Python exceptions."""

ERROR_NAMES = {
    1: "ERR_NOT_READY",
    2: "ERR_DEVICE_UNAVAILABLE",
    3: "ERR_THREAD",
    4: "ERR_WINDOW",
    5: "ERR_BUFFER",
    6: "ERR_DEVICE_IO",
    7: "ERR_CAPTURE_WINDOW",
    8: "ERR_TRANSFER",
    9: "ERR_ARGUMENT",
    11: "ERR_NOT_SUPPORTED",
    12: "ERR_FILE",
    13: "ERR_TIMEOUT",
}


def error_name(code):
    return ERROR_NAMES.get(code, "unknown error" if code else "no error recorded")


class ImvelaError(Exception):
    """A library call failed.

    `code` is the cause: the first code the failed call recorded (0 when it recorded none),
    `name` its ERR_* name; `codes` every code the call recorded in the order they came (the
    cause first, then its consequences) and `history` the same newest first, as
    Imvela_GetLastError hands them out. `cause` says in words what went wrong when the module
    could tell ("camera 0 is in use by another process"); the message starts with it."""

    def __init__(self, call, code, history=(), cause=None):
        self.call = call
        self.history = tuple(history) or ((code,) if code else ())
        self.codes = self.history[::-1]
        self.code = self.codes[0] if self.codes else code
        self.name = error_name(self.code)
        self.cause = cause
        text = f"{call} failed: " + ", then ".join(f"{error_name(c)} ({c})" for c in self.codes or (code,))
        super().__init__(f"{cause} ({text})" if cause else text)


class CameraBusy(RuntimeError):
    """The camera is doing something that excludes the call (a recording runs, or a stream)."""


class ExportMissing(NotImplementedError):
    """The loaded library lacks the export an operation needs (an older build)."""

    def __init__(self, export):
        self.export = export
        super().__init__(f"{export} is not exported by the loaded camera library")
