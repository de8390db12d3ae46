// What portprobe-explain says about a walk: per controller and per port, each
// probed property decoded (or shown as a value) with its notes. Both of its
// renderings, text and JSON, are made from this and nothing else.
#ifndef PORTPROBE_EXPLAIN_EXPLANATION_H
#define PORTPROBE_EXPLAIN_EXPLANATION_H

#include <cstdint>
#include <functional>
#include <initializer_list>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "explain/analysis/machine_facts.h"
#include "explain/analysis/port_story.h"
#include "explain/input/port_capture.h"
#include "explain/input/walk_model.h"
#include "pd/field_table.h"

namespace explain {

using Json = nlohmann::ordered_json;

// The vendor's name for a 16-bit USB vendor ID, when one is known.
using VendorNames = std::function<std::optional<std::string>(std::uint16_t)>;

// The same lookup with each name made valid UTF-8: a usb.ids file may hold
// any bytes, and every view shows names as text.
VendorNames withValidNames(const VendorNames &names);

// The names of an entry from its controller down. Every property of an
// entry holds the same names: shared, not copied, since a large walk has
// hundreds of thousands of properties. Reads as the vector of names.
class EntryPath {
public:
    using Names = std::vector<std::string>;
    using const_iterator = Names::const_iterator;
    using iterator = const_iterator;
    using value_type = std::string;

    EntryPath() = default;
    // NOLINTNEXTLINE(google-explicit-constructor): a path is its names
    EntryPath(Names names) : names_(std::make_shared<const Names>(std::move(names))) {}
    EntryPath(std::initializer_list<std::string> names) : EntryPath(Names(names)) {}

    const Names &names() const { return names_ ? *names_ : noNames(); }
    // NOLINTNEXTLINE(google-explicit-constructor)
    operator const Names &() const { return names(); }

    std::size_t size() const { return names().size(); }
    bool empty() const { return names().empty(); }
    const std::string &back() const { return names().back(); }
    const std::string &operator[](std::size_t i) const { return names()[i]; }
    const_iterator begin() const { return names().begin(); }
    const_iterator end() const { return names().end(); }

    friend bool operator==(const EntryPath &a, const EntryPath &b)
    {
        return a.names_ == b.names_ || a.names() == b.names();
    }
    friend bool operator!=(const EntryPath &a, const EntryPath &b) { return !(a == b); }
    friend bool operator==(const EntryPath &a, const Names &b) { return a.names() == b; }
    friend bool operator!=(const EntryPath &a, const Names &b) { return !(a == b); }

private:
    static const Names &noNames()
    {
        static const Names none;
        return none;
    }
    std::shared_ptr<const Names> names_;
};

// nlohmann's destructor may allocate (it frees deep documents without
// recursion); were that to fail the program ends, as on any failed allocation.
// NOLINTNEXTLINE(bugprone-exception-escape)
struct PropertyExplanation {
    EntryPath entry; // entry names from the controller down
    std::string className;
    std::string key;  // the registry's key; "Metadata/VDOs" for VDOs inside Metadata
    std::string kind; // "source_capabilities", ..., "value"
    std::vector<std::uint32_t> objects; // the 32-bit objects read, if any
    Json decoded;                       // the JSON document's "decoded"
    // The same in plain words, one line each; empty when there is nothing to
    // say (an empty "Metadata").
    std::vector<std::string> lines;
    std::vector<std::string> notes; // about this property alone
    // A number's words as the registry gives them beside it
    // ("DataRoleDescription"); empty when it gives none.
    std::string description;
};

struct PortExplanation {
    std::vector<std::string> entry;
    std::string className;
    std::vector<PropertyExplanation> properties; // the port's entries, in walk order
    // Every note of the port, each naming its entry (below the port) and key.
    std::vector<std::string> notes;
};

struct ControllerExplanation {
    std::vector<std::string> entry;
    std::string className;
    std::vector<PropertyExplanation> properties; // entries outside every port
    std::vector<PortExplanation> ports;
};

// A port told from every source: its story, and the decoded probed
// properties of its entries.
struct PortAccount {
    PortStory story;
    // The port of the controllers' walk with the same name, by index into
    // the explanation's controllers and their ports; its properties are the
    // port's, and are not copied.
    struct WalkPort {
        std::size_t controller = 0;
        std::size_t port = 0;
    };
    std::optional<WalkPort> walkPort;
    // Without a walk port: the probed properties of the port's own capture.
    std::vector<PropertyExplanation> ownProperties;
};

// Which of a property's two renderings an explanation makes: its words (the
// text) and its "decoded" (the JSON). A program that renders one makes that
// one alone, rather than making both and holding a large walk's worth of the
// other to the end.
using PropertyViews = pd::Views;

struct Explanation {
    // Where the input came from: "registry", "sample", "snapshot", "report".
    std::string source = "registry";
    // Set before anything is explained into it.
    PropertyViews views;
    MachineFacts machine;
    std::vector<ControllerExplanation> controllers;
    // By type, then number ("Port-MagSafe 3@1", "Port-USB-C@1", "@2", ...),
    // whatever order the capture lists them in.
    std::vector<PortAccount> ports;
    std::vector<PowerManagerStory> powerManagers;
    // The answer first: what the Mac draws and what limits it; null when
    // the input holds nothing of power (a report, a walk alone).
    std::optional<ChargingSummary> charging;
    std::vector<std::string> notes; // the walk's own notes, passed on
};

// Linear in the walk: nothing looks across the walk per property.
Explanation explainWalk(const RegistryWalk &walk, const VendorNames &vendorNames);
// The same, releasing the walk as it goes: what it held is gone once each
// controller is explained.
Explanation explainWalk(RegistryWalk &&walk, const VendorNames &vendorNames);
// Adds a part of a walk, whole controllers, to explanation, releasing the
// part as it goes. A walk explained part by part, in order, gives the same
// explanation as the walk explained whole: nothing looks across controllers.
void explainWalkPart(RegistryWalk &&part, const VendorNames &vendorNames, Explanation &explanation);

// Adds each port's story and the power manager's view: the ports of the
// capture joined by name with the walk's ports (a port of the walk alone
// gets a story of its properties' verdicts), and the verdicts drawn from
// them all. Linear in the capture and the walk.
void explainPorts(const PortCapture &capture, const VendorNames &vendorNames,
                  Explanation &explanation);

// The port's decoded properties: its walk port's, or its own.
const std::vector<PropertyExplanation> &propertiesOf(const Explanation &explanation,
                                                     const PortAccount &port);

// True when any verdict is a warning or a problem.
bool anyConcern(const Explanation &explanation);

} // namespace explain

#endif
