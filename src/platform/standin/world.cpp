#include "platform/standin/world.h"

#include <memory>

namespace standin {
namespace {

std::unique_ptr<World> &instance()
{
    static std::unique_ptr<World> current = std::make_unique<World>();
    return current;
}

} // namespace

World &world() { return *instance(); }

void resetWorld() { instance() = std::make_unique<World>(); }

} // namespace standin
