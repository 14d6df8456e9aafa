#!/usr/bin/python3
"""Drives a ModemManager mocked with python-dbusmock on the bus in DBUS_SYSTEM_BUS_ADDRESS.

  modemmanager_mock.py ready                 exits 0 once the mock answers
  modemmanager_mock.py add OPERATOR FLAGS    a modem registered at home with OPERATOR, using the
                                             access technologies FLAGS (ModemManager's bits)
  modemmanager_mock.py registration STATE    the modem's 3GPP registration state (1 home, 5
                                             roaming)
  modemmanager_mock.py operator NAME         the operator's name
"""
import os
import sys

import dbus

MOCK = 'org.freedesktop.DBus.Mock'
NAME = 'org.freedesktop.ModemManager1'
MANAGER_PATH = '/org/freedesktop/ModemManager1'
MODEM_PATH = MANAGER_PATH + '/Modem/0'
MODEM = 'org.freedesktop.ModemManager1.Modem'
MODEM_3GPP = 'org.freedesktop.ModemManager1.Modem.Modem3gpp'


def main():
    bus = dbus.bus.BusConnection(os.environ['DBUS_SYSTEM_BUS_ADDRESS'])
    manager = dbus.Interface(bus.get_object(NAME, MANAGER_PATH), MOCK)
    command = sys.argv[1]
    if command == 'ready':
        dbus.Interface(bus.get_object(NAME, MANAGER_PATH),
                       'org.freedesktop.DBus.ObjectManager').GetManagedObjects()
    elif command == 'add':
        manager.AddObject(MODEM_PATH, MODEM,
                          {'AccessTechnologies': dbus.UInt32(int(sys.argv[3])),
                           'State': dbus.Int32(11)}, [])
        modem = dbus.Interface(bus.get_object(NAME, MODEM_PATH), MOCK)
        modem.AddProperties(MODEM_3GPP, {'RegistrationState': dbus.UInt32(1),
                                         'OperatorName': dbus.String(sys.argv[2])})
    elif command == 'registration':
        modem = dbus.Interface(bus.get_object(NAME, MODEM_PATH), MOCK)
        modem.UpdateProperties(MODEM_3GPP, {'RegistrationState': dbus.UInt32(int(sys.argv[2]))})
    elif command == 'operator':
        modem = dbus.Interface(bus.get_object(NAME, MODEM_PATH), MOCK)
        modem.UpdateProperties(MODEM_3GPP, {'OperatorName': dbus.String(sys.argv[2])})
    else:
        sys.exit('unknown command ' + command)


if __name__ == '__main__':
    main()
