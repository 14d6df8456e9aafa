#!/usr/bin/python3
"""Drives python-dbusmock's NetworkManager on the bus in DBUS_SYSTEM_BUS_ADDRESS.

  networkmanager_mock.py ready            exits 0 once the mock answers
  networkmanager_mock.py add IFACE NAME   a Wi-Fi device IFACE with the active connection NAME
  networkmanager_mock.py metered IFACE N  the device's Metered value (NetworkManager's NMMetered:
                                          1 yes, 2 no, 3 guessed yes, 4 guessed no)
"""
import os
import sys

import dbus

MOCK = 'org.freedesktop.DBus.Mock'
DEVICE = 'org.freedesktop.NetworkManager.Device'
MANAGER_PATH = '/org/freedesktop/NetworkManager'
ACTIVATED = 100


def device_path(iface):
    return '/org/freedesktop/NetworkManager/Devices/' + iface


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
        manager.AddActiveConnection([path], connection, access_point, iface + 'active',
                                    ACTIVATED)
        device = dbus.Interface(bus.get_object('org.freedesktop.NetworkManager', path), MOCK)
        # The template's devices lack the Metered property NetworkManager has.
        device.AddProperty(DEVICE, 'Metered', dbus.UInt32(0))
    elif command == 'metered':
        manager.SetProperty(device_path(iface), DEVICE, 'Metered', dbus.UInt32(int(sys.argv[3])))
    else:
        sys.exit('unknown command ' + command)


if __name__ == '__main__':
    main()
