#!/usr/bin/python3
"""Pastes from the CLIPBOARD as a GTK 3 file manager does.

Asks for each target named on the command line in turn and prints one JSON
line mapping each target to the text received, or null when it was refused.
"""
import json
import sys

import gi

gi.require_version("Gtk", "3.0")
gi.require_version("Gdk", "3.0")
from gi.repository import Gdk, Gtk  # noqa: E402


def main():
    clipboard = Gtk.Clipboard.get(Gdk.SELECTION_CLIPBOARD)
    received = {}
    for target in sys.argv[1:]:
        data = clipboard.wait_for_contents(Gdk.Atom.intern(target, False))
        received[target] = None if data is None else data.get_data().decode("utf-8")
    print(json.dumps(received), flush=True)


if __name__ == "__main__":
    main()
