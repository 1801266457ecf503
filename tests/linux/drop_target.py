#!/usr/bin/python3
"""A GTK 3 drop target for the drag-out tests.

Opens one window at the given place that takes text/uri-list drops and prints
each URI it receives on its own line; prints "ready X Y WIDTH HEIGHT" (its place on the screen)
once the window is up.
With --refuse it offers only a type no source provides, so every drop is refused.
"""
import argparse

import gi

gi.require_version("Gtk", "3.0")
gi.require_version("Gdk", "3.0")
from gi.repository import Gdk, GLib, Gtk  # noqa: E402


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--x", type=int, default=400)
    parser.add_argument("--y", type=int, default=50)
    parser.add_argument("--width", type=int, default=300)
    parser.add_argument("--height", type=int, default=200)
    parser.add_argument("--refuse", action="store_true")
    args = parser.parse_args()

    window = Gtk.Window(title="Drop target")
    window.set_default_size(args.width, args.height)
    window.move(args.x, args.y)
    accepted = "application/x-nothing-offers-this" if args.refuse else "text/uri-list"
    window.drag_dest_set(Gtk.DestDefaults.ALL, [Gtk.TargetEntry.new(accepted, 0, 0)], Gdk.DragAction.COPY)

    def on_data(_widget, _context, _x, _y, data, _info, _time):
        for uri in data.get_uris() or []:
            print(uri, flush=True)

    def announce():
        x, y = window.get_window().get_origin()[1:]
        print("ready %d %d %d %d" % (x, y, window.get_allocated_width(), window.get_allocated_height()), flush=True)
        return False

    window.connect("drag-data-received", on_data)
    window.connect("map-event", lambda *_: GLib.timeout_add(200, announce) and False)
    window.connect("destroy", Gtk.main_quit)
    window.show_all()
    Gtk.main()


if __name__ == "__main__":
    main()
