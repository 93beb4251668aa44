"""What the server is told by its environment."""
from __future__ import annotations

import os
from dataclasses import dataclass
from pathlib import Path

SHIM_DIR = Path(__file__).resolve().parent.parent


class ConfigError(Exception):
    """The environment does not describe a server that can start."""


@dataclass(frozen=True)
class StudioConfig:
    port: int
    state_dir: Path
    studio_dir: Path
    hub: str | None
    takes: str | None
    bundled: bool
    stock_themes_dir: Path
    pages_dir: Path

    @property
    def origins(self) -> tuple[str, str]:
        return (f"http://127.0.0.1:{self.port}", f"http://localhost:{self.port}")

    @property
    def hosts(self) -> tuple[str, str]:
        return (f"127.0.0.1:{self.port}", f"localhost:{self.port}")

    @property
    def base_url(self) -> str:
        return f"http://127.0.0.1:{self.port}/"

    @classmethod
    def from_environment(cls, env=None, cwd: Path | None = None) -> "StudioConfig":
        env = os.environ if env is None else env
        cwd = Path.cwd() if cwd is None else cwd
        return cls(
            port=_parse_port(env.get("STUDIO_PORT")),
            state_dir=Path(env.get("STUDIO_STATE") or cwd).resolve(),
            studio_dir=cwd.resolve(),
            hub=env.get("STUDIO_HUB"),
            takes=env.get("STUDIO_TAKES"),
            bundled=env.get("QUILLBAY_BUNDLED") == "1",
            stock_themes_dir=SHIM_DIR / "themes",
            pages_dir=SHIM_DIR / "pages",
        )


def _parse_port(text: str | None) -> int:
    if not text:
        raise ConfigError("STUDIO_PORT is not set.")
    if not (text.isascii() and text.isdigit()) or not 1 <= int(text) <= 65535:
        raise ConfigError(f"STUDIO_PORT {text!r} is not a port number from 1 to 65535.")
    return int(text)
