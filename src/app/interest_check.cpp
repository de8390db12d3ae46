#include "app/interest_check.h"

#include <cstdio>

namespace {

const char *const transportClass = "IOPortTransportComponentCCUSBPDSOPp";

// Registers one kind of interest, reports the status on its own line, and
// drops a registration that was made at once: nothing ever waits for it.
void tryInterest(IONotificationPortRef port, io_service_t service, const char *interestType,
                 const char *label)
{
    io_object_t notification = IO_OBJECT_NULL;
    kern_return_t status =
        IOServiceAddInterestNotification(port, service, interestType, NULL, NULL, &notification);
    printf("  %s interest notification: kr=0x%x %s\n", label, (unsigned int)status,
           status == KERN_SUCCESS ? "SUCCESS" : "FAILED");
    if (status == KERN_SUCCESS) {
        IOObjectRelease(notification);
    }
}

} // namespace

void checkInterestNotifications(mach_port_t mainPort)
{
    puts("\n\n=== Checking IOPortTransportComponentCCUSBPDSOPp notification support ===");

    io_iterator_t iterator = IO_OBJECT_NULL;
    if (IOServiceGetMatchingServices(mainPort, IOServiceMatching(transportClass), &iterator) !=
        KERN_SUCCESS) {
        return;
    }
    io_service_t service;
    while ((service = IOIteratorNext(iterator)) != IO_OBJECT_NULL) {
        IONotificationPortRef port = IONotificationPortCreate(mainPort);
        if (port != NULL) {
            tryInterest(port, service, kIOGeneralInterest, "General");
            tryInterest(port, service, kIOBusyInterest, "Busy");
            IONotificationPortDestroy(port);
        }
        IOObjectRelease(service);
    }
    IOObjectRelease(iterator);
}
