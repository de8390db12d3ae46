// Runs the body of one of the stand-in's C entry points so that no C++
// exception ever crosses into the caller: a failure inside the stand-in
// (exhausted memory) becomes the call's failure result and an audit note.
#ifndef PORTPROBE_STANDIN_GUARDED_H
#define PORTPROBE_STANDIN_GUARDED_H

#include <exception>
#include <string>

#include "platform/standin/world.h"

namespace standin {

template <class Result, class Body>
Result guarded(const char *operation, Result onFailure, Body &&body) noexcept
{
    try {
        return body();
    } catch (const std::exception &error) {
        try {
            world().references.misuse(std::string(operation) +
                                      ": stand-in failure: " + error.what());
        } catch (...) {
        }
    } catch (...) {
    }
    return onFailure;
}

template <class Body>
void guardedVoid(const char *operation, Body &&body) noexcept
{
    guarded(operation, 0, [&] {
        body();
        return 0;
    });
}

} // namespace standin

#endif
