#!/usr/bin/python3
"""A panel and a notification service on the session bus, for the tray and notice tests.

    desktop_double.py LOGFILE

Owns org.kde.StatusNotifierWatcher (with a host registered) and org.freedesktop.Notifications.
Every item registration and every notice is written to LOGFILE as one JSON object per line;
"ready" is written once both names are owned.
"""
import json
import sys

import dbus
import dbus.mainloop.glib
import dbus.service
from gi.repository import GLib

LOG = open(sys.argv[1], 'a', buffering=1)


def log(**record):
    LOG.write(json.dumps(record, ensure_ascii=False) + '\n')


WATCHER = 'org.kde.StatusNotifierWatcher'
PROPS = 'org.freedesktop.DBus.Properties'
# Written out: clients read the properties through an interface description, and dbus-python
# describes methods and signals only.
WATCHER_XML = '''<node>
 <interface name="org.kde.StatusNotifierWatcher">
  <method name="RegisterStatusNotifierItem"><arg name="service" type="s" direction="in"/></method>
  <method name="RegisterStatusNotifierHost"><arg name="service" type="s" direction="in"/></method>
  <property name="RegisteredStatusNotifierItems" type="as" access="read"/>
  <property name="IsStatusNotifierHostRegistered" type="b" access="read"/>
  <property name="ProtocolVersion" type="i" access="read"/>
  <signal name="StatusNotifierItemRegistered"><arg type="s"/></signal>
  <signal name="StatusNotifierItemUnregistered"><arg type="s"/></signal>
  <signal name="StatusNotifierHostRegistered"/>
 </interface>
 <interface name="org.freedesktop.DBus.Properties">
  <method name="Get"><arg type="s" direction="in"/><arg type="s" direction="in"/><arg type="v" direction="out"/></method>
  <method name="GetAll"><arg type="s" direction="in"/><arg type="a{sv}" direction="out"/></method>
 </interface>
 <interface name="org.freedesktop.DBus.Introspectable">
  <method name="Introspect"><arg type="s" direction="out"/></method>
 </interface>
</node>'''


class Watcher(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, '/StatusNotifierWatcher')
        self.items = []

    @dbus.service.method('org.freedesktop.DBus.Introspectable', out_signature='s')
    def Introspect(self):
        return WATCHER_XML

    @dbus.service.method(WATCHER, in_signature='s', sender_keyword='sender')
    def RegisterStatusNotifierItem(self, service, sender=None):
        name = sender if service.startswith('/') else service
        self.items.append(name)
        log(event='item', service=str(name))
        self.StatusNotifierItemRegistered(name)

    @dbus.service.method(WATCHER, in_signature='s')
    def RegisterStatusNotifierHost(self, service):
        pass

    @dbus.service.signal(WATCHER, signature='s')
    def StatusNotifierItemRegistered(self, service):
        pass

    @dbus.service.signal(WATCHER, signature='s')
    def StatusNotifierItemUnregistered(self, service):
        pass

    @dbus.service.signal(WATCHER, signature='')
    def StatusNotifierHostRegistered(self):
        pass

    def props(self):
        return {'RegisteredStatusNotifierItems': dbus.Array(self.items, signature='s'),
                'IsStatusNotifierHostRegistered': dbus.Boolean(True),
                'ProtocolVersion': dbus.Int32(0)}

    @dbus.service.method(PROPS, in_signature='ss', out_signature='v')
    def Get(self, interface, name):
        return self.props()[name]

    @dbus.service.method(PROPS, in_signature='s', out_signature='a{sv}')
    def GetAll(self, interface):
        return self.props()


class Notifications(dbus.service.Object):
    def __init__(self, bus):
        super().__init__(bus, '/org/freedesktop/Notifications')
        self.count = 0

    @dbus.service.method('org.freedesktop.Notifications', out_signature='as')
    def GetCapabilities(self):
        return ['body', 'icon-static', 'persistence']

    @dbus.service.method('org.freedesktop.Notifications', in_signature='susssasa{sv}i', out_signature='u')
    def Notify(self, app_name, replaces_id, app_icon, summary, body, actions, hints, timeout):
        self.count += 1
        notice_id = int(replaces_id) if replaces_id else self.count
        log(event='notice', id=notice_id, app_name=str(app_name), replaces_id=int(replaces_id),
            app_icon=str(app_icon), summary=str(summary), body=str(body),
            hints={str(k): (bool(v) if isinstance(v, dbus.Boolean) else
                            int(v) if isinstance(v, (dbus.Byte, dbus.Int32, dbus.UInt32)) else str(v))
                   for k, v in hints.items()},
            timeout=int(timeout))
        return dbus.UInt32(notice_id)

    @dbus.service.method('org.freedesktop.Notifications', in_signature='u')
    def CloseNotification(self, notice_id):
        pass

    @dbus.service.method('org.freedesktop.Notifications', out_signature='ssss')
    def GetServerInformation(self):
        return ('velmora-test-panel', 'Velmora', '1.0', '1.2')


dbus.mainloop.glib.DBusGMainLoop(set_as_default=True)
bus = dbus.SessionBus()
keep = [Watcher(bus), Notifications(bus),
        dbus.service.BusName(WATCHER, bus), dbus.service.BusName('org.freedesktop.Notifications', bus)]
log(event='ready')
GLib.MainLoop().run()
