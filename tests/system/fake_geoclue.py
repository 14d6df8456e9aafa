#!/usr/bin/env python3
"""A stand-in for GeoClue 2 on whatever bus DBUS_SESSION_BUS_ADDRESS names (the test passes it
to Kestrio as the system bus). It hands out one client, records what the client is told in the
file given as first argument, and after Start announces one position: the latitude and
longitude given as second and third arguments, taken now. With --deny, Start is refused as the
agent does when the user says no."""
import sys
import time

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

SERVICE = "org.freedesktop.GeoClue2"
MANAGER = "org.freedesktop.GeoClue2.Manager"
CLIENT = "org.freedesktop.GeoClue2.Client"
LOCATION = "org.freedesktop.GeoClue2.Location"
PROPS = "org.freedesktop.DBus.Properties"

record_path, latitude, longitude = sys.argv[1], float(sys.argv[2]), float(sys.argv[3])
deny = "--deny" in sys.argv


def record(line):
    with open(record_path, "a") as f:
        f.write(line + "\n")


class Properties(dbus.service.Object):
    interface = ""

    def __init__(self, bus, path, props):
        super().__init__(bus, path)
        self.props = props

    @dbus.service.method(PROPS, in_signature="ss", out_signature="v")
    def Get(self, interface, name):
        return self.props[name]

    @dbus.service.method(PROPS, in_signature="s", out_signature="a{sv}")
    def GetAll(self, interface):
        return self.props

    @dbus.service.method(PROPS, in_signature="ssv")
    def Set(self, interface, name, value):
        record("Set %s=%s" % (name, value))
        self.props[name] = value


class Location(Properties):
    def __init__(self, bus, path):
        now = time.time()
        super().__init__(bus, path, {
            "Latitude": dbus.Double(latitude), "Longitude": dbus.Double(longitude),
            "Accuracy": dbus.Double(5000),
            "Timestamp": dbus.Struct((dbus.UInt64(int(now)), dbus.UInt64(int(now % 1 * 1e6))),
                                     signature="tt")})


class Client(Properties):
    def __init__(self, bus, path):
        super().__init__(bus, path, {"DesktopId": "", "DistanceThreshold": dbus.UInt32(0),
                                     "RequestedAccuracyLevel": dbus.UInt32(0), "Active": False})
        self.bus = bus

    @dbus.service.method(CLIENT)
    def Start(self):
        record("Start")
        if deny:
            raise dbus.exceptions.DBusException("Geolocation disabled for this application",
                                                name="org.freedesktop.DBus.Error.AccessDenied")
        GLib.timeout_add(300, self.announce)

    @dbus.service.method(CLIENT)
    def Stop(self):
        record("Stop")

    def announce(self):
        self.count = getattr(self, "count", 0) + 1
        path = "/org/freedesktop/GeoClue2/Client/1/Location/%d" % self.count
        self.location = Location(self.bus, path)
        self.LocationUpdated("/", path)
        return False

    @dbus.service.signal(CLIENT, signature="oo")
    def LocationUpdated(self, old, new):
        pass


class Manager(Properties):
    def __init__(self, bus):
        super().__init__(bus, "/org/freedesktop/GeoClue2/Manager",
                         {"InUse": False, "AvailableAccuracyLevel": dbus.UInt32(8)})
        self.bus = bus
        self.client = None

    @dbus.service.method(MANAGER, out_signature="o")
    def GetClient(self):
        record("GetClient")
        if self.client is None:
            self.client = Client(self.bus, "/org/freedesktop/GeoClue2/Client/1")
        return "/org/freedesktop/GeoClue2/Client/1"


dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
manager = Manager(bus)
name = dbus.service.BusName(SERVICE, bus)
record("ready")
GLib.MainLoop().run()
