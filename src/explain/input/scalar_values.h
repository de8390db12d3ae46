// The registry's data and numbers as walk-model values, read the same way
// by both registry readers.
#ifndef PORTPROBE_EXPLAIN_SCALAR_VALUES_H
#define PORTPROBE_EXPLAIN_SCALAR_VALUES_H

#include "explain/input/walk_model.h"
#include "platform/registry_api.h"

namespace explain {

// Every byte, and the length as the value gives it (0 when it gives less).
PropertyValue readData(CFDataRef data);

// As the report: the 64 bits of an integer, and for a real whatever integer
// the conversion gives, its exactness ignored, beside the real itself.
PropertyValue readNumber(CFNumberRef number);

} // namespace explain

#endif
