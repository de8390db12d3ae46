// The stand-in's one instance: the registry, the references handed out for
// it, and the faults planned for the run. The system's registry is global
// state too; tests reset this one between runs.
#ifndef PORTPROBE_STANDIN_WORLD_H
#define PORTPROBE_STANDIN_WORLD_H

#include "platform/standin/faults.h"
#include "platform/standin/references.h"
#include "platform/standin/registry.h"

namespace standin {

struct World {
    World() : references(registry) {}

    Registry registry;
    References references;
    Faults faults;
    StringCache strings; // the values of key strings made by CFStringCreateWithCString
};

World &world();
// Replaces the instance with an empty one.
void resetWorld();

} // namespace standin

#endif
