#!/usr/bin/python3
"""A desktop notification service on the bus at argv[1]: owns org.freedesktop.Notifications,
prints each Notify call as one JSON line and answers with its number. Prints "ready" first."""
import json
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
bus = dbus.bus.BusConnection(sys.argv[1])


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
print("ready", flush=True)
GLib.timeout_add_seconds(300, lambda: sys.exit(0))
GLib.MainLoop().run()
