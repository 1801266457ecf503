#!/usr/bin/python3
"""A GTK 3 drop target for the drag-out tests.

Opens one window at the given place that takes text/uri-list drops and prints
each URI it receives on its own line; prints "ready X Y WIDTH HEIGHT" (its place on the screen)
once the window is up. Runs natively on Wayland as well (GDK_BACKEND=wayland).
--refuse chooses how it turns a drop down:
  type        it offers only a type no source provides;
  right-half  it takes the type but answers "not accepted" over its right half,
              as a file manager does over the folder a file already lies in;
  at-drop     it accepts while the pointer moves, then reports the drop failed;
  silent      it accepts while the pointer moves, takes the drop and never
              answers it, as a refusing Wayland window behind XWayland does.
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
    parser.add_argument("--refuse", choices=["type", "right-half", "at-drop", "silent"])
    # Where windows cannot place themselves (Wayland), the place is the whole work area.
    parser.add_argument("--maximize", action="store_true")
    args = parser.parse_args()

    window = Gtk.Window(title="Drop target")
    window.set_default_size(args.width, args.height)
    window.move(args.x, args.y)
    if args.maximize:
        window.maximize()
    uri_list = Gdk.Atom.intern("text/uri-list", False)
    offered = "application/x-nothing-offers-this" if args.refuse == "type" else "text/uri-list"
    window.drag_dest_set(0, [Gtk.TargetEntry.new(offered, 0, 0)], Gdk.DragAction.COPY)

    def on_motion(widget, context, x, _y, time):
        if widget.drag_dest_find_target(context, None) is None:
            return False
        refused = args.refuse == "right-half" and x >= widget.get_allocated_width() // 2
        Gdk.drag_status(context, 0 if refused else Gdk.DragAction.COPY, time)
        return True

    def on_drop(widget, context, _x, _y, time):
        if args.refuse == "at-drop":
            Gtk.drag_finish(context, False, False, time)
        elif args.refuse != "silent":
            widget.drag_get_data(context, uri_list, time)
        return True

    def on_data(_widget, context, _x, _y, data, _info, time):
        for uri in data.get_uris() or []:
            print(uri, flush=True)
        Gtk.drag_finish(context, True, False, time)

    def announce():
        x, y = window.get_window().get_origin()[1:]
        print("ready %d %d %d %d" % (x, y, window.get_allocated_width(), window.get_allocated_height()), flush=True)
        return False

    window.connect("drag-motion", on_motion)
    window.connect("drag-drop", on_drop)
    window.connect("drag-data-received", on_data)
    window.connect("map-event", lambda *_: GLib.timeout_add(200, announce) and False)
    window.connect("destroy", Gtk.main_quit)
    window.show_all()
    Gtk.main()


if __name__ == "__main__":
    main()
