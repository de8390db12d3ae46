// Holders for what the registry readers create or copy (the Create rule):
// each is released when its holder goes, whichever way the reading leaves.
#ifndef PORTPROBE_EXPLAIN_OWNED_REFERENCES_H
#define PORTPROBE_EXPLAIN_OWNED_REFERENCES_H

#include <memory>

#include "platform/registry_api.h"

namespace explain {

struct ReleaseValue {
    void operator()(const void *value) const { CFRelease(value); }
};
using OwnedValue = std::unique_ptr<const void, ReleaseValue>;

class OwnedObject {
public:
    explicit OwnedObject(io_object_t object) : object_(object) {}
    OwnedObject(const OwnedObject &) = delete;
    OwnedObject &operator=(const OwnedObject &) = delete;
    ~OwnedObject()
    {
        if (object_ != IO_OBJECT_NULL) {
            IOObjectRelease(object_);
        }
    }

    io_object_t get() const { return object_; }

private:
    io_object_t object_;
};

} // namespace explain

#endif
