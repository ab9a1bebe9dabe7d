#!/usr/bin/python3
"""A desktop notification service on the session bus (run it under dbus-run-session): owns
org.freedesktop.Notifications, prints each Notify call as one JSON line and answers with its
number. Prints "ready <bus address>" first; ends when its standard input closes."""
import json
import os
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()


class Notifications(dbus.service.Object):
    calls = 0

    @dbus.service.method("org.freedesktop.Notifications",
                         in_signature="susssasa{sv}i", out_signature="u")
    def Notify(self, app, replaces, icon, summary, body, actions, hints, timeout):
        Notifications.calls += 1
        print(json.dumps({"app": str(app), "summary": str(summary), "body": str(body)}),
              flush=True)
        return dbus.UInt32(Notifications.calls)


name = dbus.service.BusName("org.freedesktop.Notifications", bus)
Notifications(bus, "/org/freedesktop/Notifications")
print("ready", os.environ["DBUS_SESSION_BUS_ADDRESS"], flush=True)
loop = GLib.MainLoop()
# Ends when its standard input closes (the test is done), at the latest after five minutes.
GLib.io_add_watch(sys.stdin.fileno(), GLib.IO_IN | GLib.IO_HUP, lambda *_: loop.quit())
GLib.timeout_add_seconds(300, loop.quit)
loop.run()
