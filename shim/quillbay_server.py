#!/usr/bin/env python3
"""Quillbay studio server.

Serves the desk and room pages and the theme-pack API on 127.0.0.1 at
$STUDIO_PORT, keeping its data under $STUDIO_STATE. Ends with code 0 on end of
file on standard input and on SIGTERM.
"""
import os
import sys

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

from quillbay_studio.main import main  # noqa: E402

if __name__ == "__main__":
    sys.exit(main())
