#!/usr/bin/python3
"""Stand-ins for the desktop's file manager and folder portal on a test's session bus.

Each call is appended to LOG as one JSON object before it is answered. Prints
"ready" once every requested name is owned.
  --file-manager        serve org.freedesktop.FileManager1 (ShowItems)
  --portal-answer PATH  serve the portal's FileChooser and answer with PATH
  --portal-cancel       serve the portal's FileChooser and report a cancel
  --portal-vanish       serve the portal's FileChooser, hand out the request, then exit
  --hold-until PATH     answer only once PATH exists (a file manager that hangs, a
                        dialog the user keeps open)
"""
import argparse
import json
import os

from gi.repository import Gio, GLib

FILE_MANAGER_XML = """<node><interface name="org.freedesktop.FileManager1">
  <method name="ShowItems"><arg type="as" direction="in"/><arg type="s" direction="in"/></method>
  <method name="ShowFolders"><arg type="as" direction="in"/><arg type="s" direction="in"/></method>
</interface></node>"""

PORTAL_XML = """<node><interface name="org.freedesktop.portal.FileChooser">
  <method name="OpenFile">
    <arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="a{sv}" direction="in"/>
    <arg type="o" direction="out"/>
  </method>
</interface></node>"""

REQUEST_XML = """<node><interface name="org.freedesktop.portal.Request">
  <method name="Close"/>
</interface></node>"""

RESPONSE_SUCCESS, RESPONSE_CANCELLED = 0, 1


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("log")
    parser.add_argument("--file-manager", action="store_true")
    parser.add_argument("--portal-answer")
    parser.add_argument("--portal-cancel", action="store_true")
    parser.add_argument("--portal-vanish", action="store_true")
    parser.add_argument("--hold-until")
    args = parser.parse_args()

    bus = Gio.bus_get_sync(Gio.BusType.SESSION, None)
    loop = GLib.MainLoop()

    def record(entry):
        with open(args.log, "a", encoding="utf-8") as log:
            log.write(json.dumps(entry, ensure_ascii=False) + "\n")

    def when_released(action):
        def attempt():
            if args.hold_until and not os.path.exists(args.hold_until):
                return True
            action()
            return False

        if args.hold_until:
            GLib.timeout_add(20, attempt)
        else:
            GLib.idle_add(attempt)

    def on_file_manager_call(_conn, _sender, _path, _iface, method, params, invocation):
        uris, startup_id = params.unpack()
        record({"method": method, "uris": uris, "startup_id": startup_id})
        when_released(lambda: invocation.return_value(None))

    def on_request_call(_conn, _sender, path, _iface, method, _params, invocation):
        record({"method": method, "path": path})
        invocation.return_value(None)

    def on_portal_call(conn, sender, _path, _iface, method, params, invocation):
        parent, title, options = params.unpack()
        entry = {"method": method, "parent": parent, "title": title}
        for key, value in options.items():
            entry[key] = bytes(value[:-1]).decode("utf-8") if key == "current_folder" else value
        record(entry)
        token = options.get("handle_token", "t")
        handle = "/org/freedesktop/portal/desktop/request/%s/%s" % (sender[1:].replace(".", "_"), token)
        conn.register_object(handle, Gio.DBusNodeInfo.new_for_xml(REQUEST_XML).interfaces[0], on_request_call)
        invocation.return_value(GLib.Variant("(o)", (handle,)))
        if args.portal_vanish:
            conn.flush_sync(None)
            GLib.idle_add(loop.quit)
            return
        if args.portal_cancel:
            answer = GLib.Variant("(ua{sv})", (RESPONSE_CANCELLED, {}))
        else:
            uri = Gio.File.new_for_path(args.portal_answer).get_uri()
            answer = GLib.Variant("(ua{sv})", (RESPONSE_SUCCESS, {"uris": GLib.Variant("as", [uri])}))

        when_released(lambda: conn.emit_signal(sender, handle, "org.freedesktop.portal.Request", "Response", answer))

    names = []
    if args.file_manager:
        info = Gio.DBusNodeInfo.new_for_xml(FILE_MANAGER_XML)
        bus.register_object("/org/freedesktop/FileManager1", info.interfaces[0], on_file_manager_call)
        names.append("org.freedesktop.FileManager1")
    if args.portal_answer or args.portal_cancel or args.portal_vanish:
        info = Gio.DBusNodeInfo.new_for_xml(PORTAL_XML)
        bus.register_object("/org/freedesktop/portal/desktop", info.interfaces[0], on_portal_call)
        names.append("org.freedesktop.portal.Desktop")

    pending = set(names)

    def on_acquired(_conn, name):
        pending.discard(name)
        if not pending:
            print("ready", flush=True)

    for name in names:
        Gio.bus_own_name_on_connection(bus, name, Gio.BusNameOwnerFlags.NONE, on_acquired, lambda *_: loop.quit())
    if not names:
        print("ready", flush=True)
    loop.run()


if __name__ == "__main__":
    main()
