#include "report/tree_walk.h"

#include <cstdio>
#include <cstring>

#include "report/value_render.h"

namespace {

const CFIndex annotationBufferSize = 256;

// Appends one annotation to the entry line when the entry has the property.
// Only a string can be converted: any other kind, like a string too long or
// not representable as UTF-8, shows "<unconvertible>" between the brackets.
void printAnnotation(io_registry_entry_t entry, CFStringRef key, const char *opening,
                     const char *closing)
{
    CFTypeRef value = IORegistryEntryCreateCFProperty(entry, key, kCFAllocatorDefault, 0);
    if (value == NULL) {
        return;
    }
    char text[annotationBufferSize];
    bool converted = CFGetTypeID(value) == CFStringGetTypeID() &&
                     convertText((CFStringRef)value, text, annotationBufferSize);
    printf("%s%s%s", opening, converted ? text : "<unconvertible>", closing);
    CFRelease(value);
}

void printEntryLine(io_registry_entry_t entry, uint32_t depth)
{
    io_name_t className;
    io_name_t name;
    memset(className, 0, sizeof className);
    memset(name, 0, sizeof name);
    // A failed read leaves the zero-filled buffer, which prints as empty text.
    IOObjectGetClass(entry, className);
    IORegistryEntryGetName(entry, name);

    printIndent(depth);
    printf("[%s] %s", className, name);
    printAnnotation(entry, CFSTR("IOUserClientClass"), " (UserClient: ", ")");
    printAnnotation(entry, CFSTR("CFBundleIdentifier"), " [", "]");
    printf("\n");
}

void printProbes(io_registry_entry_t entry, uint32_t depth)
{
    for (const char *keyText : propertyKeys) {
        CFStringRef key =
            CFStringCreateWithCString(kCFAllocatorDefault, keyText, kCFStringEncodingUTF8);
        if (key == NULL) {
            continue;
        }
        CFTypeRef value = IORegistryEntryCreateCFProperty(entry, key, kCFAllocatorDefault, 0);
        if (value != NULL) {
            printIndent(depth + 1);
            printf(">>> %s: ", keyText);
            printPropertyValue(value);
            CFRelease(value);
        }
        CFRelease(key);
    }
}

void walkChildren(io_registry_entry_t entry, uint32_t depth, const char *plane)
{
    io_iterator_t children = IO_OBJECT_NULL;
    if (IORegistryEntryGetChildIterator(entry, plane, &children) != KERN_SUCCESS) {
        return;
    }
    io_registry_entry_t child;
    while ((child = IOIteratorNext(children)) != IO_OBJECT_NULL) {
        walkTree(child, depth + 1, plane);
        IOObjectRelease(child);
    }
    IOObjectRelease(children);
}

} // namespace

void printIndent(uint32_t count)
{
    for (uint32_t i = 0; i < count; i++) {
        fputs("  ", stdout);
    }
}

void walkTree(io_registry_entry_t entry, uint32_t depth, const char *plane)
{
    if (depth > maxWalkDepth) {
        return;
    }
    printEntryLine(entry, depth);
    printProbes(entry, depth);
    walkChildren(entry, depth, plane);
}
