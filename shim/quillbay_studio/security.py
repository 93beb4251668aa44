"""Which requests the server refuses: it answers only to its own origin."""
from __future__ import annotations

from email.message import Message

from .config import StudioConfig

MAX_BODY_BYTES = 64 * 1024
REFUSED_FETCH_SITES = ("cross-site", "same-site")


def host_allowed(headers: Message, config: StudioConfig) -> bool:
    """Only 127.0.0.1:PORT and localhost:PORT, so a rebound DNS name gets nowhere."""
    hosts = headers.get_all("Host") or []
    return len(hosts) == 1 and hosts[0].strip().lower() in config.hosts


def post_refusal(headers: Message, config: StudioConfig) -> str | None:
    """The reason a state-changing request is refused, or None when it may proceed."""
    origins = headers.get_all("Origin") or []
    if len(origins) > 1 or any(origin.strip().lower() not in config.origins for origin in origins):
        return "Requests from other origins are refused."
    # Another port on 127.0.0.1 is "same-site" to a browser, so only our own
    # origin or a request the user typed ("none") passes.
    site = (headers.get("Sec-Fetch-Site") or "").strip().lower()
    if site in REFUSED_FETCH_SITES:
        return "Cross-site requests are refused."
    return None
