// What tests, tools and the snapshot loader use to drive the stand-in:
// building a registry, planning faults, auditing references and capturing
// the report a run prints.
#ifndef PORTPROBE_STANDIN_STANDIN_H
#define PORTPROBE_STANDIN_STANDIN_H

#include <functional>
#include <string>
#include <string_view>

#include "platform/standin/faults.h"
#include "platform/standin/references.h"
#include "platform/standin/registry.h"
#include "platform/standin/value.h"

namespace standin {

// Forgets everything: the registry, every reference, every planned fault
// and the audit's findings.
void reset();

EntryId addEntry(std::string className, std::string name);
void setProperty(EntryId entry, std::string_view key, ValuePtr value);
void setProperty(EntryId entry, std::u16string key, ValuePtr value);
void addChild(EntryId parent, EntryId child, std::string_view plane = "IOService");

Registry &registry();
Faults &faults();
AuditReport audit();

// Runs body with the process's standard output sent to a temporary file and
// returns what it wrote.
std::string captureStdout(const std::function<void()> &body);

} // namespace standin

#endif
