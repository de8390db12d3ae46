// Linked into the portprobe built on the stand-in, and into nothing else: it
// fills the stand-in's registry with the built-in sample before main runs, so
// that the program shows a realistic report where there is no Mac. The
// sample is checked by the tests, so it always loads; if it ever did not,
// the registry would stay empty and the report would be its headers.
#include "platform/standin/snapshot/snapshot_loader.h"

namespace {

const bool sampleLoaded = !snapshot::loadBuiltInSample().has_value();

} // namespace
