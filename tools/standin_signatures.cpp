// Compiled only by the macOS type check (tools/macos-typecheck.sh): declares
// the stand-in's API beside the system's own headers. A C function that the
// stand-in declares with another signature is a conflicting declaration, and
// every type name must be the very same type, so this file compiles only
// while the stand-in matches the system.
#include <CoreFoundation/CoreFoundation.h>
#include <IOKit/IOKitLib.h>

#include <cstdint>
#include <type_traits>

// The system's values of the macros that the stand-in defines again.
constexpr io_object_t systemObjectNull = IO_OBJECT_NULL;
constexpr kern_return_t systemSuccess = KERN_SUCCESS;
constexpr kern_return_t systemError = kIOReturnError;
constexpr kern_return_t systemNoMemory = kIOReturnNoMemory;
constexpr kern_return_t systemNoResources = kIOReturnNoResources;
constexpr kern_return_t systemBadArgument = kIOReturnBadArgument;
constexpr kern_return_t systemNotFound = kIOReturnNotFound;
static_assert(sizeof(kIOGeneralInterest) == sizeof("IOGeneralInterest"), "general interest");
static_assert(sizeof(kIOBusyInterest) == sizeof("IOBusyInterest"), "busy interest");

#undef CFSTR
#undef IO_OBJECT_NULL
#undef KERN_SUCCESS
#undef kIOReturnSuccess
#undef kIOReturnError
#undef kIOReturnNoMemory
#undef kIOReturnNoResources
#undef kIOReturnBadArgument
#undef kIOReturnNotFound
#undef kIOServicePlane
#undef kIOPowerPlane
#undef kIOGeneralInterest
#undef kIOBusyInterest
#undef kIOAppPowerStateInterest
#undef kIOPriorityPowerStateInterest
#undef kIOProviderClassKey

// The stand-in's CFNumberType is necessarily another type than the system's,
// so this one function is renamed here and compared by hand.
#define CFNumberGetValue standinCFNumberGetValue
namespace standin_api {
#include "platform/standin/cf_api.h"
#include "platform/standin/iokit_api.h"
} // namespace standin_api
#undef CFNumberGetValue

// Every other C function of the stand-in (CFDictionaryGetValue,
// CFArrayGetValueAtIndex, CFNumberIsFloatType, ...) is checked by its
// redeclaration above; these pin the result types that code relies on.
static_assert(std::is_same<decltype(&standin_api::CFDictionaryGetValue),
                           const void *(*)(CFDictionaryRef, const void *)>::value,
              "CFDictionaryGetValue");
static_assert(std::is_same<decltype(&standin_api::CFArrayGetValueAtIndex),
                           const void *(*)(CFArrayRef, CFIndex)>::value,
              "CFArrayGetValueAtIndex");
static_assert(
    std::is_same<decltype(&standin_api::CFNumberIsFloatType), Boolean (*)(CFNumberRef)>::value,
    "CFNumberIsFloatType");
static_assert(
    std::is_same<decltype(&standin_api::CFBooleanGetValue), Boolean (*)(CFBooleanRef)>::value,
    "CFBooleanGetValue");
static_assert(std::is_same<decltype(&standin_api::CFSetGetTypeID), CFTypeID (*)(void)>::value,
              "CFSetGetTypeID");
static_assert(std::is_same<decltype(&standin_api::CFSetGetCount), CFIndex (*)(CFSetRef)>::value,
              "CFSetGetCount");
static_assert(
    std::is_same<decltype(&standin_api::CFSetGetValues), void (*)(CFSetRef, const void **)>::value,
    "CFSetGetValues");
static_assert(std::is_same<decltype(&standin_api::CFDictionaryGetKeysAndValues),
                           void (*)(CFDictionaryRef, const void **, const void **)>::value,
              "CFDictionaryGetKeysAndValues");
static_assert(std::is_same<decltype(&standin_api::IORegistryGetRootEntry),
                           io_registry_entry_t (*)(mach_port_t)>::value,
              "IORegistryGetRootEntry");
static_assert(std::is_same<decltype(&standin_api::IORegistryEntryGetRegistryEntryID),
                           kern_return_t (*)(io_registry_entry_t, uint64_t *)>::value,
              "IORegistryEntryGetRegistryEntryID");
static_assert(std::is_same<decltype(&standin_api::IORegistryEntryGetLocationInPlane),
                           kern_return_t (*)(io_registry_entry_t, const char *, char *)>::value,
              "IORegistryEntryGetLocationInPlane");
static_assert(std::is_same<decltype(&standin_api::IORegistryEntryCreateCFProperties),
                           kern_return_t (*)(io_registry_entry_t, CFMutableDictionaryRef *,
                                             CFAllocatorRef, IOOptionBits)>::value,
              "IORegistryEntryCreateCFProperties");

#define SAME_TYPE(name) static_assert(std::is_same<name, standin_api::name>::value, #name)
SAME_TYPE(Boolean);
SAME_TYPE(UInt8);
SAME_TYPE(UInt32);
SAME_TYPE(CFIndex);
SAME_TYPE(CFTypeID);
SAME_TYPE(CFTypeRef);
SAME_TYPE(CFAllocatorRef);
SAME_TYPE(CFStringRef);
SAME_TYPE(CFDataRef);
SAME_TYPE(CFNumberRef);
SAME_TYPE(CFBooleanRef);
SAME_TYPE(CFDateRef);
SAME_TYPE(CFArrayRef);
SAME_TYPE(CFDictionaryRef);
SAME_TYPE(CFSetRef);
SAME_TYPE(CFMutableDictionaryRef);
SAME_TYPE(CFStringEncoding);
SAME_TYPE(mach_port_t);
SAME_TYPE(kern_return_t);
SAME_TYPE(io_object_t);
SAME_TYPE(io_registry_entry_t);
SAME_TYPE(io_service_t);
SAME_TYPE(io_iterator_t);
SAME_TYPE(io_name_t);
SAME_TYPE(IOOptionBits);
SAME_TYPE(IONotificationPortRef);
SAME_TYPE(IOServiceInterestCallback);

static_assert(std::is_same<std::underlying_type<standin_api::CFNumberType>::type, CFIndex>::value,
              "CFNumberType");
static_assert(std::is_same<decltype(&standin_api::standinCFNumberGetValue),
                           Boolean (*)(CFNumberRef, standin_api::CFNumberType, void *)>::value,
              "CFNumberGetValue");
static_assert(CFIndex{standin_api::kCFNumberLongLongType} == CFIndex{kCFNumberLongLongType},
              "long long");
static_assert(CFIndex{standin_api::kCFNumberDoubleType} == CFIndex{kCFNumberDoubleType}, "double");
static_assert(standin_api::kCFStringEncodingUTF8 == kCFStringEncodingUTF8, "UTF-8");

// The stand-in's macros, now in force, against the system's values.
static_assert(IO_OBJECT_NULL == systemObjectNull, "IO_OBJECT_NULL");
static_assert(KERN_SUCCESS == systemSuccess, "KERN_SUCCESS");
static_assert(kIOReturnError == systemError, "kIOReturnError");
static_assert(kIOReturnNoMemory == systemNoMemory, "kIOReturnNoMemory");
static_assert(kIOReturnNoResources == systemNoResources, "kIOReturnNoResources");
static_assert(kIOReturnBadArgument == systemBadArgument, "kIOReturnBadArgument");
static_assert(kIOReturnNotFound == systemNotFound, "kIOReturnNotFound");
