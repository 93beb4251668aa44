"""The theme packs the server knows: stock ones shipped beside the script and
installed ones under STUDIO_STATE/themes, plus the stored choice of the active one."""
from __future__ import annotations

import json
import os
import shutil
import tempfile
import threading
from pathlib import Path

from .files import open_regular
from .log import printable
from .packs import PackError, ThemePack, load_pack

DEFAULT_PACK_ID = "studio-night"
ACTIVE_FILE_NAME = "active-theme.json"
WORK_FOLDER_PREFIX = ".work-"
MAX_INSTALLED_PACKS = 32
MAX_INSTALLED_BYTES = 64 * 1024 * 1024


class ThemeStore:
    def __init__(self, stock_dir: Path, state_dir: Path):
        self.stock_dir = stock_dir
        self.installed_dir = state_dir / "themes"
        self.active_file = state_dir / ACTIVE_FILE_NAME
        # Serialises activation and installation.
        self.write_lock = threading.Lock()
        # Replacing an installed pack takes two renames; readers hold this
        # (briefly) so they see the old pack or the new one, never the gap.
        self.swap_lock = threading.RLock()

    def prepare(self) -> None:
        """Creates the installed-pack folder and clears work folders of an interrupted install."""
        self.installed_dir.mkdir(parents=True, exist_ok=True)
        for entry in self.installed_dir.iterdir():
            if entry.name.startswith(WORK_FOLDER_PREFIX):
                shutil.rmtree(entry, ignore_errors=True)

    # Reading

    def stock_packs(self) -> list[ThemePack]:
        packs = [load_pack(folder, stock=True) for folder in _subfolders(self.stock_dir)]
        packs.sort(key=lambda pack: (pack.id != DEFAULT_PACK_ID, pack.id))
        return packs

    def installed_packs(self) -> list[ThemePack]:
        stock_ids = self.stock_ids()
        packs = []
        for folder in _subfolders(self.installed_dir):
            pack = load_pack(folder, stock=False)
            if pack.id in stock_ids:
                pack = ThemePack(pack.id, folder, False,
                                 error=f"The id {pack.id} belongs to a stock pack.")
            packs.append(pack)
        return packs

    def stock_ids(self) -> set[str]:
        return {folder.name for folder in _subfolders(self.stock_dir)}

    def packs(self) -> list[ThemePack]:
        with self.swap_lock:
            return self.stock_packs() + self.installed_packs()

    def find(self, pack_id: str) -> ThemePack | None:
        return next((pack for pack in self.packs() if pack.id == pack_id), None)

    def active_pack(self, packs: list[ThemePack] | None = None) -> ThemePack | None:
        """The stored choice while it is usable, otherwise the default stock pack."""
        packs = self.packs() if packs is None else packs
        usable = {pack.id: pack for pack in packs if pack.usable}
        for candidate in (self._stored_active_id(), DEFAULT_PACK_ID):
            if candidate in usable:
                return usable[candidate]
        return next(iter(usable.values()), None)

    def open_active_stylesheet(self) -> int | None:
        """A descriptor of the active pack's stylesheet, or None when there is none to serve."""
        with self.swap_lock:
            pack = self.active_pack()
            if pack is None:
                return None
            try:
                return open_regular(pack.stylesheet)[0]
            except OSError:
                return None

    def catalog(self) -> dict:
        packs = self.packs()
        active = self.active_pack(packs)
        return {
            "active": active.id if active else "",
            "packs": [pack.as_json() for pack in packs],
        }

    # Writing

    def activate(self, pack_id: str) -> ThemePack:
        """Makes a usable pack the active one; raises PackError otherwise."""
        with self.write_lock:
            return self.activate_locked(pack_id)

    def activate_locked(self, pack_id: str) -> ThemePack:
        pack = self.find(pack_id)
        if pack is None:
            raise PackError(f"There is no theme pack with the id {printable(pack_id, 80)}.")
        if not pack.usable:
            reason = pack.error.rstrip(".")
            raise PackError(f"The pack {pack.id} cannot be used ({reason[:1].lower()}{reason[1:]}).")
        write_json_atomically(self.active_file, {"active": pack.id})
        return pack

    def check_room(self, pack_id: str, size: int) -> None:
        """Refuses a pack of `size` bytes that would take the installed packs past their limits."""
        others = [folder for folder in _subfolders(self.installed_dir) if folder.name != pack_id]
        if len(others) >= MAX_INSTALLED_PACKS:
            raise PackError(f"The themes folder already holds {MAX_INSTALLED_PACKS} packs, the most it takes.")
        if size + sum(_bytes_under(folder) for folder in others) > MAX_INSTALLED_BYTES:
            raise PackError(f"The installed packs would take more than "
                            f"{MAX_INSTALLED_BYTES // (1024 * 1024)} MB with this one.")

    def replace_pack(self, pack_id: str, staged: Path, spare: Path) -> None:
        """Moves a staged pack folder into place, keeping the replaced one at `spare`."""
        target = self.installed_dir / pack_id
        with self.swap_lock:
            replacing = target.exists() or target.is_symlink()
            if replacing:
                os.rename(target, spare)
            try:
                os.rename(staged, target)
            except OSError:
                if replacing:
                    os.rename(spare, target)
                raise

    def _stored_active_id(self) -> str | None:
        try:
            document = json.loads(self.active_file.read_text(encoding="utf-8"))
        except (OSError, ValueError):
            return None
        value = document.get("active") if isinstance(document, dict) else None
        return value if isinstance(value, str) else None


def _subfolders(folder: Path) -> list[Path]:
    try:
        entries = list(folder.iterdir())
    except OSError:
        return []
    return sorted(
        (entry for entry in entries
         if not entry.name.startswith(".") and entry.is_dir() and not entry.is_symlink()),
        key=lambda entry: entry.name)


def _bytes_under(folder: Path) -> int:
    """The size of the files in a folder and its subfolders, links not followed."""
    total, pending = 0, [folder]
    while pending:
        try:
            with os.scandir(pending.pop()) as scan:
                for entry in scan:
                    if entry.is_dir(follow_symlinks=False):
                        pending.append(entry.path)
                    else:
                        total += entry.stat(follow_symlinks=False).st_size
        except OSError:
            continue
    return total


def write_json_atomically(path: Path, document: dict) -> None:
    """Writes beside the target, flushes to disk, then renames over it."""
    descriptor, temp_name = tempfile.mkstemp(prefix=f".{path.name}.", dir=path.parent)
    try:
        with os.fdopen(descriptor, "w", encoding="utf-8") as handle:
            json.dump(document, handle)
            handle.write("\n")
            handle.flush()
            os.fsync(handle.fileno())
        os.replace(temp_name, path)
    except BaseException:
        try:
            os.unlink(temp_name)
        except OSError:
            pass
        raise
