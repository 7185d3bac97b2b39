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


class ImvelaError(Exception):
    """A library call failed. `code` is the newest error the camera recorded for it (0 when
    it recorded none), `name` its ERR_* name, `history` every code it recorded, newest
    first."""

    def __init__(self, call, code, history=()):
        self.call = call
        self.code = code
        self.name = ERROR_NAMES.get(code, "unknown error" if code else "no error recorded")
        self.history = tuple(history) or ((code,) if code else ())
        super().__init__(f"{call} failed: {self.name} ({code})")


class ExportMissing(NotImplementedError):
    """The loaded library lacks the export an operation needs (an older build)."""

    def __init__(self, export):
        self.export = export
        super().__init__(f"{export} is not exported by the loaded camera library")
