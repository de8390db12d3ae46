// The properties a walk probes, in the order their probe lines appear: the
// report prints them, and whatever reads the report or the same properties
// back takes them from here. Nothing here touches the platform.
#ifndef PORTPROBE_REPORT_PROPERTY_KEYS_H
#define PORTPROBE_REPORT_PROPERTY_KEYS_H

#include <cstdint>

const uint32_t propertyKeyCount = 26;
extern const char *const propertyKeys[propertyKeyCount];

#endif
