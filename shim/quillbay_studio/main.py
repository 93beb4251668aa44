"""Start-up and shutdown: listen, serve until stdin ends or SIGTERM arrives, exit 0."""
from __future__ import annotations

import os
import signal
import sys
import threading

from .config import ConfigError, StudioConfig
from .http_server import StudioHTTPServer
from .log import ServerLog
from .routes import StudioContext
from .themes import ThemeStore

POLL_SECONDS = 0.2


def main() -> int:
    if hasattr(sys.stdout, "reconfigure"):
        sys.stdout.reconfigure(errors="backslashreplace")
    log = ServerLog(sys.stdout)
    stop = threading.Event()
    stop_reason: list[str] = []

    def request_stop(reason: str) -> None:
        stop_reason.append(reason)
        stop.set()

    for signal_number in (signal.SIGTERM, signal.SIGINT):
        signal.signal(signal_number, lambda number, frame: request_stop(signal.Signals(number).name))

    try:
        config = StudioConfig.from_environment()
    except ConfigError as error:
        log.line(f"Quillbay studio server cannot start: {error}")
        return 2

    themes = ThemeStore(config.stock_themes_dir, config.state_dir)
    try:
        themes.prepare()
    except OSError as error:
        log.line(f"Quillbay studio server cannot use its data folder {config.state_dir}: {error.strerror}.")
        return 1

    try:
        server = StudioHTTPServer(config.port, StudioContext(config, themes, log))
    except OSError as error:
        log.line(f"Quillbay studio server cannot listen on 127.0.0.1:{config.port}: {error.strerror}.")
        return 1

    watch_standard_input(lambda: request_stop("end of standard input"))
    threading.Thread(target=server.serve_forever, args=(POLL_SECONDS,),
                     name="http", daemon=True).start()
    announce(log, config, themes)

    while not stop.wait(POLL_SECONDS):
        pass
    log.line(f"Quillbay studio server stopping ({stop_reason[0] if stop_reason else 'stop'}).")
    server.shutdown()
    server.server_close()
    return 0


def announce(log: ServerLog, config: StudioConfig, themes: ThemeStore) -> None:
    log.line(f"Quillbay studio server listening on {config.base_url}")
    log.line(f"pid {os.getpid()}, studio folder {config.studio_dir}, data folder {config.state_dir}")
    active = themes.active_pack()
    log.line(f"active theme: {active.id if active else 'none'}")


def watch_standard_input(on_end) -> None:
    """Calls on_end when standard input reaches end of file (the shell's first stop signal)."""
    try:
        os.fstat(0)
    except OSError:
        return  # no standard input at all: nothing to watch

    def watch() -> None:
        try:
            while os.read(0, 4096):
                pass
        except OSError:
            pass
        on_end()

    threading.Thread(target=watch, name="stdin-watch", daemon=True).start()
