// The program's one door to the platform: every IOKit and CoreFoundation name
// that src/app and src/report use comes through this header.
//
// On macOS these are the system frameworks. Everywhere else (or when a build
// asks for it with PORTPROBE_STANDIN) they are the in-memory stand-in under
// platform/standin, which declares the same names with the same types, so the
// program's code compiles unchanged against either.
#ifndef PORTPROBE_PLATFORM_REGISTRY_API_H
#define PORTPROBE_PLATFORM_REGISTRY_API_H

#if defined(__APPLE__) && !defined(PORTPROBE_STANDIN)
#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/IOKitLib.h>
#else
#include "platform/standin/cf_api.h"
#include "platform/standin/iokit_api.h"
#endif

#endif
