#!/usr/bin/env python3
"""Checks the sample registry snapshot and prints a summary.

Usage: check_sample.py [FILE]   (default: sample-registry.plist beside this script)
Exits 1 when any rule is broken, 2 when the file cannot be read as a property list.
"""
import datetime
import os
import plistlib
import sys
from collections import Counter, defaultdict

PLANES = ("IOService", "IOPower", "IOPort")
WALKED = ("IOService", "IOPower")   # the planes the report walks
SOURCE = "IOPortFeaturePowerSource"
BATTERY = "AppleSmartBattery"
PDO_SLOTS = 13
RESERVED = ("IOObjectClass", "IORegistryEntryName", "IORegistryEntryID", "IORegistryEntryChildren")
SERVICE = "AppleHPMARMSPMI"
SOPP = "IOPortTransportComponentCCUSBPDSOPp"
CONNECTION = "IOPowerConnection"
MAX_DEPTH = 8
NAME_LIMIT = 127          # io_name_t holds 127 bytes and a terminator
STRING_LIMIT = 511        # longest string value the report shows
DUMP_LIMIT = 128          # bytes shown of a data value
PROBED = ("VDMs", "VDOs", "Metadata", "PDRevision", "SpecRevision", "PortPartnerIdentity",
          "CableIdentity", "PDContract", "PowerRole", "DataRole", "VCONNSource", "SourceCapabilities",
          "SinkCapabilities", "RequestDataObject", "ActiveContract", "AlternateMode", "SVIDs", "Modes",
          "DisplayPortStatus", "DisplayPortConfig", "RawVDM", "VDMResponse", "VDMHistory", "MessageLog",
          "PDMessageLog", "TraceBuffer")
# Annotations each class must (True) or must not (False) carry; other classes are free.
ANNOTATIONS = {
    "AppleHPMInterfaceType10": {"IOUserClientClass": "IOAccessoryManagerUserClient",
                                "CFBundleIdentifier": "com.apple.driver.AppleHPM"},
    "AppleHPMInterfaceType11": {"IOUserClientClass": "IOAccessoryManagerUserClient",
                                "CFBundleIdentifier": "com.apple.driver.AppleHPM"},
    "IOPortTransportStateCC": {"IOUserClientClass": "IOPortTransportUserClient", "CFBundleIdentifier": None},
    "IOPortTransportStateCIO": {"IOUserClientClass": "IOPortTransportUserClient", "CFBundleIdentifier": None},
    "AppleHPMDeviceHALType3": {"IOUserClientClass": None, "CFBundleIdentifier": None},
}


def kind(value):
    # bool before int: bool is an int subclass in Python
    for t, name in ((bool, "boolean"), (int, "integer"), (float, "real"), (str, "string"), (bytes, "data"),
                    (datetime.datetime, "date"), (list, "array"), (dict, "dict")):
        if isinstance(value, t):
            return name
    return type(value).__name__


def utf8_len(text):
    return len(text.encode("utf-8"))


class Snapshot:
    def __init__(self, doc):
        self.errors = []
        self.entries = {}                  # key -> {"class", "name", "props"}
        self.order = []                    # keys in order of first appearance
        self.children = {p: {} for p in PLANES}   # plane -> key -> child keys (first occurrence)
        self.roots = {}
        self.in_plane = {p: [] for p in PLANES}
        self.anonymous = 0
        self.loaded = False
        if not isinstance(doc, dict) or list(doc) != list(PLANES):
            self.error(f"top level must be a dictionary with keys {list(PLANES)} in that order, "
                       f"found {list(doc) if isinstance(doc, dict) else kind(doc)}")
            return
        for plane in PLANES:
            self.roots[plane] = self.load_list(doc[plane], plane, plane)
        self.loaded = True

    def error(self, message):
        self.errors.append(message)

    def load_list(self, items, plane, where):
        if not isinstance(items, list):
            self.error(f"{where}: entries must be in an array, found {kind(items)}")
            return []
        keys = [self.load(item, plane, f"{where}[{i}]") for i, item in enumerate(items)]
        return [k for k in keys if k is not None]

    def load(self, item, plane, where):
        if not isinstance(item, dict):
            self.error(f"{where}: an entry must be a dictionary, found {kind(item)}")
            return None
        cls, name = item.get("IOObjectClass"), item.get("IORegistryEntryName", item.get("IOObjectClass"))
        if not isinstance(cls, str) or not cls:
            self.error(f"{where}: IOObjectClass missing or not a string")
            return None
        where = f"{plane}: [{cls}] {name}"
        for label, text in (("class", cls), ("name", name)):
            if not isinstance(text, str):
                self.error(f"{where}: {label} is not a string")
                return None
            if utf8_len(text) > NAME_LIMIT:
                self.error(f"{where}: {label} is {utf8_len(text)} bytes, limit {NAME_LIMIT}")
        eid = item.get("IORegistryEntryID")
        if eid is None:
            self.error(f"{where}: no IORegistryEntryID (every sample entry carries one)")
            self.anonymous += 1
            key = ("anonymous", self.anonymous)
        elif kind(eid) != "integer" or not 0 <= eid < 1 << 64:
            self.error(f"{where}: IORegistryEntryID must be an unsigned 64-bit integer")
            return None
        else:
            key = eid
        props = {k: v for k, v in item.items() if k not in RESERVED}
        known = self.entries.get(key)
        if known is None:
            self.entries[key] = {"class": cls, "name": name, "props": props}
            self.order.append(key)
        else:
            if (known["class"], known["name"]) != (cls, name):
                self.error(f"{where}: ID {key} was first [{known['class']}] {known['name']}, here [{cls}] {name}")
            if props and props != known["props"]:
                self.error(f"{where}: a later occurrence of ID {key} carries different properties (ignored)")
        kids = item.get("IORegistryEntryChildren")
        if key in self.children[plane]:
            if kids:
                self.error(f"{where}: a link (repeat of ID {key} in {plane}) carries children (ignored)")
            return key
        self.in_plane[plane].append(key)
        self.children[plane][key] = []
        if kids is not None:
            self.children[plane][key] = self.load_list(kids, plane, f"{where}/children")
        return key

    def of_class(self, cls):
        return [k for k in self.order if self.entries[k]["class"] == cls]

    def walk(self, key, plane, depth=0):
        """Yields (key, depth) as the report walks: each path counts, depth limited."""
        yield key, depth
        if depth > MAX_DEPTH:
            return
        for child in self.children[plane].get(key, []):
            yield from self.walk(child, plane, depth + 1)


def check(snap):
    services = snap.of_class(SERVICE)
    for key in services:
        if snap.entries[key]["name"] != SERVICE:
            snap.error(f"service {key}: entry name must be {SERVICE}")
    if len(services) != 3:
        snap.error(f"expected 3 {SERVICE} services, found {len(services)}")

    twice = []
    for plane in WALKED:
        for key in services:
            if key not in snap.children[plane]:
                snap.error(f"service {key} is missing from the {plane} plane")
                continue
            visits = list(snap.walk(key, plane))
            deepest = max(d for _, d in visits)
            if deepest > MAX_DEPTH:
                snap.error(f"{plane}: subtree of service {key} goes below depth {MAX_DEPTH}")
            counts = Counter(k for k, d in visits if d <= MAX_DEPTH)
            if plane == "IOPower":
                again = [k for k, n in counts.items() if n > 1]   # shallowest first
                if again:
                    twice.append((key, again[0], len(again) - 1))
                check_power_alternation(snap, key)
    if not twice:
        snap.error("no entry is reached along two paths in any service's IOPower subtree")

    sopp = snap.of_class(SOPP)
    if len(sopp) < 2:
        snap.error(f"expected several {SOPP} entries, found {len(sopp)}")
    for key in sopp:
        if key not in snap.children["IOService"]:
            snap.error(f"{describe(snap, key)} is not in the IOService plane: the report would list it")
    check_ports(snap)

    for key in snap.order:
        e = snap.entries[key]
        for annotation, wanted in ANNOTATIONS.get(e["class"], {}).items():
            have = e["props"].get(annotation)
            if have != wanted:
                snap.error(f"[{e['class']}] {e['name']}: {annotation} is {have!r}, expected {wanted!r}")
    for plane in ("IOPower",):
        for key in snap.in_plane[plane]:
            if snap.entries[key]["class"].startswith("IOPortTransportComponent"):
                snap.error(f"IOPower: CC component {snap.entries[key]['name']} is not power managed")

    usage = defaultdict(Counter)            # probed key -> kind -> count
    for key in snap.order:
        for prop, value in snap.entries[key]["props"].items():
            if prop in PROBED:
                usage[prop][kind(value)] += 1
                where = f"[{snap.entries[key]['class']}] {snap.entries[key]['name']}: {prop}"
                if kind(value) == "string" and utf8_len(value) > STRING_LIMIT:
                    snap.error(f"{where}: string of {utf8_len(value)} bytes would not be shown")
                if prop == "Metadata" and kind(value) != "dict":
                    snap.error(f"{where}: must be a dictionary")
                if prop == "VDOs" and not (kind(value) == "array"
                                          and all(kind(v) == "data" and len(v) == 4 for v in value)):
                    snap.error(f"{where}: must be an array of 4-byte data values")
    missing = [k for k in PROBED if k not in usage]
    if missing:
        snap.error(f"probed keys never present: {', '.join(missing)}")
    kinds = Counter()
    for c in usage.values():
        kinds.update(c)
    for wanted in ("data", "integer", "string", "dict", "array", "boolean", "date"):
        if not kinds[wanted]:
            snap.error(f"no probed key holds a {wanted} value")
    traces = [v for k in snap.order for p, v in snap.entries[k]["props"].items() if p == "TraceBuffer"]
    if not any(kind(v) == "data" and len(v) > DUMP_LIMIT for v in traces):
        snap.error(f"no TraceBuffer holds more than {DUMP_LIMIT} bytes of data")
    return services, twice, usage


def fixed_pdo(pdo):
    """(mV, mA) of a fixed supply PDO, or None for another kind or an empty slot."""
    if pdo == 0 or pdo >> 30 != 0:
        return None
    return ((pdo >> 10) & 0x3FF) * 50, (pdo & 0x3FF) * 10


def check_ports(snap):
    """The IOPort plane and the power manager: the same ports as IOService, true to PD encodings."""
    roots = snap.roots.get("IOPort", [])
    if len(roots) != 1 or snap.entries[roots[0]]["name"] != "Root":
        snap.error("IOPort: the plane must hold the one Root entry")
        return
    ports = snap.children["IOPort"].get(roots[0], [])
    if not ports:
        snap.error("IOPort: the root has no ports")
    service_ports = [k for k in snap.order if "PortTypeDescription" in snap.entries[k]["props"]]
    for key in ports:
        if "PortTypeDescription" not in snap.entries[key]["props"]:
            snap.error(f"IOPort: {describe(snap, key)} under the root is not a port")
        if key not in snap.children["IOService"]:
            snap.error(f"IOPort: {describe(snap, key)} is not the same entry (ID) as in IOService")
    if sorted(ports) != sorted(service_ports):
        snap.error("IOPort: the root's ports are not the ports of the IOService plane")
    winners = {}
    for key in snap.of_class(SOURCE):
        props = snap.entries[key]["props"]
        options = props.get("PowerSourceOptions", [])
        for option in options:
            mv, ma, mw = (option.get(k) for k in ("Voltage (mV)", "Max Current (mA)", "Max Power (mW)"))
            if mv * ma // 1000 != mw:
                snap.error(f"{describe(snap, key)}: option {mv} mV {ma} mA says {mw} mW")
        winning = props.get("WinningPowerSourceOption")
        if (winning is not None) != snap.entries[key]["name"].endswith(" [*]"):
            snap.error(f"{describe(snap, key)}: only the winning source's name ends in ' [*]'")
        if winning is not None:
            if winning not in options:
                snap.error(f"{describe(snap, key)}: the winning option is not among the options")
            winners[props.get("ParentPortNumber"), props.get("ParentPortTypeDescription")] = (key, options, winning)
    batteries = snap.of_class(BATTERY)
    if len(batteries) != 1 or batteries[0] not in snap.children["IOService"]:
        snap.error(f"expected one {BATTERY} in the IOService plane")
        return
    props = snap.entries[batteries[0]]["props"]
    info = props.get("PortControllerInfo", [])
    if len(info) != len(service_ports):
        snap.error(f"PortControllerInfo has {len(info)} ports, the controllers {len(service_ports)}")
    for port, controller in zip(service_ports, info):
        where = f"PortControllerInfo of {describe(snap, port)}"
        slots = controller.get("PortControllerPortPDO", [])
        if len(slots) != PDO_SLOTS:
            snap.error(f"{where}: {len(slots)} PDO slots, not {PDO_SLOTS}")
        for pdo in slots:
            if not -(1 << 31) <= pdo < 1 << 31:
                snap.error(f"{where}: PDO {pdo} is not a 32-bit object stored sign-extended")
        pdos = [pdo & 0xFFFFFFFF for pdo in slots if pdo != 0]
        rdo = controller.get("PortControllerActiveContractRdo", 0)
        live = controller.get("PortControllerMaxPower", 0)
        port_props = snap.entries[port]["props"]
        winner = winners.get((port_props.get("PortNumber"), port_props.get("PortTypeDescription")))
        if not live:
            if rdo or winner:
                snap.error(f"{where}: no live contract, yet a request or a winning source")
            continue
        position = rdo >> 28
        if not 1 <= position <= len(pdos) or fixed_pdo(pdos[position - 1]) is None:
            snap.error(f"{where}: the request names no fixed PDO")
            continue
        mv, most = fixed_pdo(pdos[position - 1])
        operating, maximum = ((rdo >> 10) & 0x3FF) * 10, (rdo & 0x3FF) * 10
        if operating > most or maximum > most or live != mv * operating // 1000:
            snap.error(f"{where}: the request does not fit its PDO or the power")
        offers = sorted(o for o in map(fixed_pdo, pdos) if o)
        if winner is None:
            snap.error(f"{where}: a live contract but no winning source on the port")
            continue
        _, options, winning = winner
        if offers != sorted((o["Voltage (mV)"], o["Max Current (mA)"]) for o in options):
            snap.error(f"{where}: the fixed PDOs are not the winning source's options")
        if (winning["Voltage (mV)"], winning["Max Current (mA)"]) != (mv, operating):
            snap.error(f"{where}: the request is not the winning option")
        adapter = props.get("AdapterDetails", {})
        menu = [(m["MaxVoltage"], m["MaxCurrent"]) for m in adapter.get("UsbHvcMenu", [])]
        index = adapter.get("UsbHvcHvcIndex", -1)
        if sorted(menu) != offers or not 0 <= index < len(menu) or \
                menu[index] != (adapter.get("AdapterVoltage"), adapter.get("Current")) or menu[index] != (mv, operating):
            snap.error("AdapterDetails: the menu or the entry in use does not match the charger")
        if adapter.get("Watts") != mv * operating // 1000000:
            snap.error("AdapterDetails: Watts does not match the contract")
    check_power_manager(snap, props, service_ports)


NOT_CHOSEN = 255          # "UsbHvcHvcIndex" of an adapter the power manager did not choose


def check_power_manager(snap, props, service_ports):
    """The rest of the power manager as real ones hold it, and as the ports say."""
    adapter = props.get("AdapterDetails", {})
    raw = props.get("AppleRawAdapterDetails", [])
    if sum(1 for one in raw if one == adapter) != 1:
        snap.error("AppleRawAdapterDetails: the adapter in use must be listed once, as AdapterDetails")
    for one in raw:
        if one != adapter and one.get("UsbHvcHvcIndex") != NOT_CHOSEN:
            snap.error(f"AppleRawAdapterDetails: an adapter not in use has index {one.get('UsbHvcHvcIndex')}, "
                       f"not {NOT_CHOSEN}")
        if abs(one.get("Watts", 0) - one.get("AdapterVoltage", 0) * one.get("Current", 0) / 1e6) > 1:
            snap.error(f"AppleRawAdapterDetails: {one.get('Watts')} W is not its voltage times its current")
    if len(raw) < 2:
        snap.error("AppleRawAdapterDetails: expected the adapter in use and one not chosen")
    brick = [o for k in snap.of_class(SOURCE) if snap.entries[k]["props"].get("PowerSourceName") == "Brick ID"
             and snap.entries[k]["props"].get("ParentPortNumber") == 1
             for o in snap.entries[k]["props"].get("PowerSourceOptions", [])]
    for one in raw:
        if one != adapter and (one.get("AdapterVoltage"), one.get("Current")) not in \
                [(o["Voltage (mV)"], o["Max Current (mA)"]) for o in brick]:
            snap.error("AppleRawAdapterDetails: the adapter not chosen is not the charger's Brick ID offer")
    for key in ("FedDetails", "PowerOutDetails"):
        if len(props.get(key, [])) != len(service_ports):
            snap.error(f"{key} has {len(props.get(key, []))} items, the controllers {len(service_ports)} ports")
    for port, fed in zip(service_ports, props.get("FedDetails", [])):
        where = f"FedDetails of {describe(snap, port)}"
        partner = partner_ids(snap, port)
        ids = (fed.get("FedVendorID"), fed.get("FedProductID"))
        if bool(fed.get("FedExternalConnected")) != (ids != (0, 0)):
            snap.error(f"{where}: connected only with a partner's IDs")
        if ids != (0, 0) and ids != partner:
            snap.error(f"{where}: IDs {ids} are not those of the port's partner {partner}")
    for port, out in zip(service_ports, props.get("PowerOutDetails", [])):
        where = f"PowerOutDetails of {describe(snap, port)}"
        if out.get("PortType") != snap.entries[port]["props"].get("PortType"):
            snap.error(f"{where}: PortType is not the port's")
        powered = out.get("ConfiguredVoltage", 0) * out.get("ConfiguredCurrent", 0)
        if powered and not has_usb_device(snap, port):
            snap.error(f"{where}: the Mac supplies power where no device is attached")
        if out.get("Watts") != powered // 1000000:
            snap.error(f"{where}: Watts is not its voltage times its current")
    telemetry = props.get("PowerTelemetryData", {})
    measured = telemetry.get("SystemVoltageIn", 0) * telemetry.get("SystemCurrentIn", 0) // 1000
    if abs(measured - telemetry.get("SystemPowerIn", 0)) > 0.02 * measured:
        snap.error("PowerTelemetryData: SystemPowerIn is not its voltage times its current")
    charger = props.get("ChargerData", {})
    if charger.get("IsCharging") != props.get("IsCharging"):
        snap.error("ChargerData: IsCharging differs from the power manager's")
    if props.get("IsCharging") and (charger.get("NotChargingReason") or props.get("Amperage", 0) <= 0):
        snap.error("charging, yet a NotChargingReason or no current into the battery")
    if not 0 <= props.get("CurrentCapacity", -1) <= props.get("MaxCapacity", 100):
        snap.error("CurrentCapacity is not a charge between 0 and MaxCapacity")


def partner_ids(snap, port):
    """(vendor, product) of the partner below the port in the IOPort plane, or None."""
    stack = list(snap.children["IOPort"].get(port, []))
    while stack:
        key = stack.pop()
        entry = snap.entries[key]
        if entry["class"] == "IOPortTransportComponentCCUSBPDSOP":
            # in Metadata, or at the entry's top level as some machines keep them
            where = entry["props"].get("Metadata") or entry["props"]
            return where.get("Vendor ID"), where.get("Product ID")
        stack.extend(snap.children["IOPort"].get(key, []))
    return None


def has_usb_device(snap, port):
    stack = list(snap.children["IOPort"].get(port, []))
    while stack:
        key = stack.pop()
        if snap.entries[key]["class"] == "IOUSBHostDevice":
            return True
        stack.extend(snap.children["IOPort"].get(key, []))
    return False


def check_power_alternation(snap, service):
    """In IOPower a driver's children are connections and a connection's children are drivers."""
    stack = [service]
    seen = set()
    while stack:
        key = stack.pop()
        if key in seen:
            continue
        seen.add(key)
        parent_is_conn = snap.entries[key]["class"] == CONNECTION
        for child in snap.children["IOPower"].get(key, []):
            if (snap.entries[child]["class"] == CONNECTION) == parent_is_conn:
                snap.error(f"IOPower: {snap.entries[key]['name']} -> {snap.entries[child]['name']} "
                           "does not alternate connection and driver")
            stack.append(child)


def describe(snap, key):
    e = snap.entries[key]
    return f"[{e['class']}] {e['name']}"


def main(argv):
    path = argv[1] if len(argv) > 1 else os.path.join(os.path.dirname(os.path.abspath(__file__)),
                                                      "sample-registry.plist")
    try:
        with open(path, "rb") as fh:
            doc = plistlib.load(fh)
    except (OSError, plistlib.InvalidFileException, ValueError) as exc:
        print(f"{path}: cannot load: {exc}")
        return 2
    snap = Snapshot(doc)
    services, twice, usage = check(snap) if snap.loaded else ([], [], {})

    print(f"{os.path.basename(path)}: {len(snap.entries)} entries")
    for plane in PLANES:
        print(f"  {plane}: {len(snap.in_plane[plane])} entries")
    print("classes:")
    for cls, n in sorted(Counter(e["class"] for e in snap.entries.values()).items()):
        print(f"  {n:3}  {cls}")
    print(f"services: {', '.join(str(k) for k in services)}")
    for service, key, below in twice:
        print(f"  IOPower: {describe(snap, key)} reached along two paths under service {service}"
              f" (and {below} entries below it)")
    print("probed keys:")
    for prop in PROBED:
        found = ", ".join(f"{k} x{n}" if n > 1 else k for k, n in sorted(usage.get(prop, {}).items()))
        print(f"  {prop:20} {found or '-'}")
    if snap.errors:
        print(f"{len(snap.errors)} problem(s):")
        for message in snap.errors:
            print(f"  {message}")
        return 1
    print("OK")
    return 0


if __name__ == "__main__":
    sys.exit(main(sys.argv))
