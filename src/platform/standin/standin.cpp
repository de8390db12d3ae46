#include "platform/standin/standin.h"

#include <cstdio>
#include <stdexcept>

#include <unistd.h>

#include "platform/standin/utf.h"
#include "platform/standin/world.h"

namespace standin {

void reset() { resetWorld(); }

EntryId addEntry(std::string className, std::string name)
{
    return world().registry.addEntry(std::move(className), std::move(name));
}

void setProperty(EntryId entry, std::string_view key, ValuePtr value)
{
    auto units = utf16FromUtf8(key);
    if (!units) {
        throw std::invalid_argument("property key is not valid UTF-8");
    }
    setProperty(entry, std::move(*units), std::move(value));
}

void setProperty(EntryId entry, std::u16string key, ValuePtr value)
{
    world().registry.setProperty(entry, std::move(key), std::move(value));
}

void addChild(EntryId parent, EntryId child, std::string_view plane)
{
    world().registry.addChild(parent, child, plane);
}

Registry &registry() { return world().registry; }
Faults &faults() { return world().faults; }
AuditReport audit() { return world().references.audit(); }

std::string captureStdout(const std::function<void()> &body)
{
    std::fflush(stdout);
    std::FILE *sink = std::tmpfile();
    if (sink == nullptr) {
        throw std::runtime_error("cannot create a file to capture standard output");
    }
    int saved = dup(fileno(stdout));
    if (saved < 0 || dup2(fileno(sink), fileno(stdout)) < 0) {
        std::fclose(sink);
        throw std::runtime_error("cannot redirect standard output");
    }
    auto restore = [&] {
        std::fflush(stdout);
        dup2(saved, fileno(stdout));
        close(saved);
    };
    try {
        body();
    } catch (...) {
        restore();
        std::fclose(sink);
        throw;
    }
    restore();
    std::string captured;
    std::rewind(sink);
    char chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, sink)) > 0) {
        captured.append(chunk, got);
    }
    std::fclose(sink);
    return captured;
}

} // namespace standin
