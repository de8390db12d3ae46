#!/usr/bin/env python3
"""Splits the instruction count of one report (a callgrind profile of
portprobe_report_once) into rendering and output, and the stand-in's parts:
key strings, property lookups, value reads and handles.

usage: callgrind_split.py CALLGRIND_OUT ENTRIES
"""
import re
import subprocess
import sys

# The stand-in's entry points that the report calls, by part. CFRelease is
# wrapped by portprobe_report_once, which releases keys through
# releaseKeyString and values through releasePropertyValue.
PARTS = {
    "key strings": ["CFStringCreateWithCString", "releaseKeyString"],
    "property lookups": ["IORegistryEntryCreateCFProperty", "releasePropertyValue",
                         "PortprobeStandinConstantString"],
    "value reads": ["CFGetTypeID", "CFDataGetLength", "CFDataGetBytePtr", "CFNumberGetValue",
                    "CFStringGetCString", "CFStringGetLength", "CFDictionaryGetCount",
                    "CFArrayGetCount", "CFBooleanGetValue", "CFDataGetTypeID",
                    "CFNumberGetTypeID", "CFStringGetTypeID", "CFDictionaryGetTypeID",
                    "CFArrayGetTypeID", "CFBooleanGetTypeID", "CFDateGetTypeID"],
    "handles and iterators": ["IOServiceMatching", "IOServiceGetMatchingServices",
                              "IOIteratorNext", "IOObjectRelease", "IOObjectGetClass",
                              "IORegistryEntryGetName", "IORegistryEntryGetChildIterator",
                              "IONotificationPortCreate", "IONotificationPortDestroy",
                              "IOServiceAddInterestNotification"],
}
SHIMS = {"__wrap_CFStringCreateWithCString": "CFStringCreateWithCString",
         "__wrap_CFRelease": None}

LINE = re.compile(r"^\s*([\d,]+)\s+\([^)]*\)\s+(?:.*?):(.+?)(?: \[.*\])?$")


def inclusive_costs(path):
    text = subprocess.run(["callgrind_annotate", "--inclusive=yes", "--threshold=100", path],
                          check=True, capture_output=True, text=True).stdout
    costs = {}
    for line in text.splitlines():
        match = LINE.match(line)
        if match:
            name = match.group(2).strip()
            costs[name] = costs.get(name, 0) + int(match.group(1).replace(",", ""))
    return costs


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    costs = inclusive_costs(sys.argv[1])
    entries = int(sys.argv[2])
    total = costs.get("printReport()", 0)
    if total == 0:
        sys.exit("no printReport() in the profile: was it run with --toggle-collect=measuredReport?")
    parts = {part: sum(costs.get(name, 0) for name in names) for part, names in PARTS.items()}
    # The wrappers' own instructions belong to no part.
    shim = (costs.get("__wrap_CFStringCreateWithCString", 0) - costs.get("CFStringCreateWithCString", 0)
            + costs.get("__wrap_CFRelease", 0) - costs.get("releaseKeyString", 0)
            - costs.get("releasePropertyValue", 0))
    standin = sum(parts.values())
    rendering = total - standin - shim

    def row(label, count):
        print(f"  {label:<28} {count / entries:>10,.0f} instr/entry  {100.0 * count / total:5.1f}%")

    print(f"report over {entries} entries: {total:,} instructions")
    row("total", total)
    row("rendering and output", rendering)
    row("stand-in, all parts", standin)
    for part, count in parts.items():
        row("  " + part, count)
    row("profiling shim (excluded)", shim)
    print(f"  stand-in / rendering = {standin / rendering:.2f}")


if __name__ == "__main__":
    main()
