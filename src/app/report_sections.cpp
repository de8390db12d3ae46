#include "app/report_sections.h"

#include <cstdio>

#include "app/interest_check.h"
#include "report/tree_walk.h"

namespace {

const char *const controllerClass = "AppleHPMARMSPMI";
const char *const servicePlane = "IOService";
const char *const powerPlane = "IOPower";

// Each lookup consumes its matching description, so one is built per call.
kern_return_t lookUpControllers(mach_port_t mainPort, io_iterator_t *iterator)
{
    return IOServiceGetMatchingServices(mainPort, IOServiceMatching(controllerClass), iterator);
}

} // namespace

void walkMatches(io_iterator_t iterator, const char *plane)
{
    io_service_t service;
    while ((service = IOIteratorNext(iterator)) != IO_OBJECT_NULL) {
        walkTree(service, 0, plane);
        IOObjectRelease(service);
    }
    IOObjectRelease(iterator);
}

void printReport(void)
{
    puts("=== Walking from AppleHPMARMSPMI in IOService plane ===\n");
    mach_port_t mainPort = kIOMainPortDefault;

    io_iterator_t iterator = IO_OBJECT_NULL;
    if (lookUpControllers(mainPort, &iterator) != KERN_SUCCESS) {
        puts("No AppleHPMARMSPMI found");
    } else {
        walkMatches(iterator, servicePlane);
    }

    puts("\n\n=== Walking AppleHPMARMSPMI in IOPower plane ===\n");
    iterator = IO_OBJECT_NULL;
    if (lookUpControllers(mainPort, &iterator) == KERN_SUCCESS) {
        walkMatches(iterator, powerPlane);
    }

    checkInterestNotifications(mainPort);
}
