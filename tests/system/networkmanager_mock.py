#!/usr/bin/python3
"""Drives python-dbusmock's NetworkManager on the bus in DBUS_SYSTEM_BUS_ADDRESS.

  networkmanager_mock.py ready            exits 0 once the mock answers
  networkmanager_mock.py add IFACE NAME   a Wi-Fi device IFACE with the active connection NAME
  networkmanager_mock.py modem IFACE      turns the device into a modem (guessed metered)
  networkmanager_mock.py metered IFACE N  the device's Metered value (NetworkManager's NMMetered:
                                          1 yes, 2 no, 3 guessed yes, 4 guessed no)
  networkmanager_mock.py stored IFACE     prints the connection's stored connection.metered
                                          (0 unknown, 1 yes, 2 no) and its uuid
  networkmanager_mock.py refuse IFACE 0|1 whether the connection refuses changes, as NetworkManager
                                          does when polkit denies them

The template's connections lack Update2, which NetworkManager has; the one added here stores the
settings as Update does and, like NetworkManager for an active connection, makes the device's
Metered value follow connection.metered (unknown becomes guessed unmetered).
"""
import os
import sys

import dbus

MOCK = 'org.freedesktop.DBus.Mock'
DEVICE = 'org.freedesktop.NetworkManager.Device'
CONNECTION = 'org.freedesktop.NetworkManager.Settings.Connection'
# Properties of the mock's own, for the test to steer a connection.
TEST = 'org.kestrio.Test'
UPDATE2 = f"""
if self.Get('{TEST}', 'Refuse'):
    raise dbus.exceptions.DBusException('Insufficient privileges',
                                        name='org.freedesktop.NetworkManager.PermissionDenied')
if not args[1] & 1:
    raise dbus.exceptions.DBusException('only changes saved to disk are expected here',
                                        name='org.freedesktop.NetworkManager.Failed')
self.ConnectionUpdate(self, args[0])
metered = int(self.settings['connection'].get('metered', 0))
get_object(self.Get('{TEST}', 'Device')).Set('{DEVICE}', 'Metered',
                                               dbus.UInt32({{1: 1, 2: 2}}.get(metered, 4)))
ret = dbus.Dictionary({{}}, signature='sv')
"""
MANAGER_PATH = '/org/freedesktop/NetworkManager'
ACTIVATED = 100


def device_path(iface):
    return '/org/freedesktop/NetworkManager/Devices/' + iface


def connection_path(iface):
    return '/org/freedesktop/NetworkManager/Settings/' + iface + 'connection'


def main():
    bus = dbus.bus.BusConnection(os.environ['DBUS_SYSTEM_BUS_ADDRESS'])
    manager = dbus.Interface(bus.get_object('org.freedesktop.NetworkManager', MANAGER_PATH), MOCK)
    command = sys.argv[1]
    if command == 'ready':
        dbus.Interface(bus.get_object('org.freedesktop.NetworkManager', MANAGER_PATH),
                       'org.freedesktop.NetworkManager').GetDevices()
        return
    iface = sys.argv[2]
    if command == 'add':
        name = sys.argv[3]
        path = manager.AddWiFiDevice(iface, iface, ACTIVATED)
        # mode infrastructure, 2.4 GHz, 54 Mbit/s, strength 80, open
        access_point = manager.AddAccessPoint(path, iface + 'ap', name, '02:00:00:00:00:07',
                                              dbus.UInt32(2), dbus.UInt32(2437),
                                              dbus.UInt32(54000), dbus.Byte(80), dbus.UInt32(0))
        connection = manager.AddWiFiConnection(path, iface + 'connection', name, 'wpa-psk')
        settings = dbus.Interface(bus.get_object('org.freedesktop.NetworkManager', connection),
                                  MOCK)
        settings.AddMethod(CONNECTION, 'Update2', 'a{sa{sv}}ua{sv}', 'a{sv}', UPDATE2)
        settings.AddProperties(TEST, {'Refuse': False, 'Device': dbus.ObjectPath(path)})
        manager.AddActiveConnection([path], connection, access_point, iface + 'active',
                                    ACTIVATED)
        device = dbus.Interface(bus.get_object('org.freedesktop.NetworkManager', path), MOCK)
        # The template's devices lack the Metered property NetworkManager has.
        device.AddProperty(DEVICE, 'Metered', dbus.UInt32(0))
    elif command == 'modem':
        manager.SetProperty(device_path(iface), DEVICE, 'DeviceType', dbus.UInt32(8))
        manager.SetProperty(device_path(iface), DEVICE, 'Metered', dbus.UInt32(3))
    elif command == 'metered':
        manager.SetProperty(device_path(iface), DEVICE, 'Metered', dbus.UInt32(int(sys.argv[3])))
    elif command == 'stored':
        settings = dbus.Interface(bus.get_object('org.freedesktop.NetworkManager',
                                                 connection_path(iface)), CONNECTION).GetSettings()
        print(int(settings['connection'].get('metered', 0)), settings['connection']['uuid'])
    elif command == 'refuse':
        manager.SetProperty(connection_path(iface), TEST, 'Refuse', dbus.Boolean(sys.argv[3] == '1'))
    else:
        sys.exit('unknown command ' + command)


if __name__ == '__main__':
    main()
