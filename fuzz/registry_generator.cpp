#include "registry_generator.h"

#include <algorithm>
#include <cstring>
#include <iterator>
#include <limits>
#include <string_view>

#include "platform/standin/standin.h"
#include "report/tree_walk.h"
#include "report_grammar.h"

namespace fuzzing {

const char *const generatedPlanes[generatedPlaneCount] = {"IOService", "IOPower", "IODeviceTree"};

namespace {

const char *const controllerClass = "AppleHPMARMSPMI";
const char *const transportClass = "IOPortTransportComponentCCUSBPDSOPp";

// Besides the probed keys: the two annotations, and one key nothing reads.
const char *const otherKeys[] = {"IOUserClientClass", "CFBundleIdentifier", "IOClass"};
// The keys that make ports and what belongs to them, and some they carry.
const char *const portKeys[] = {"PortTypeDescription", "ParentPortTypeDescription",
                                "PowerSourceOptions",  "WinningPowerSourceOption",
                                "ConnectionActive",    "PortControllerInfo"};
const char *const portClasses[] = {"AppleSmartBattery", "IOPortFeaturePowerSource",
                                   "IOPortTransportStateCC", "AppleHPMInterfaceType11"};
const char *const portPlane = "IOPort";
const std::size_t mostRootLinks = 8;

const char *const otherDetails[] = {
    "IOService",         "IOPower",        "AppleHPMARMSPMI", "IOPortTransportComponentCCUSBPDSOPp",
    "IOGeneralInterest", "IOBusyInterest",
};

const kern_return_t failureStatuses[] = {
    kIOReturnError,
    kIOReturnNoMemory,
    kIOReturnNoResources,
    kIOReturnBadArgument,
    kIOReturnNotFound,
    1,
    -1,
    std::numeric_limits<kern_return_t>::min(),
};

// Sizes that keep one run to a few milliseconds.
const std::size_t mostEntries = 200;
const std::size_t mostLinks = 400;
const std::size_t mostProperties = 8;
const std::size_t mostItems = 6;
const unsigned deepestValue = 3;
const std::uint64_t mostEntryLinesBelow = 64; // besides the controllers' own
const std::uint64_t mostFailableCall = 4000;

struct Link {
    std::size_t parent;
    std::size_t child;
    std::size_t plane;
};

template <class T, std::size_t N>
T pick(FuzzedDataProvider &in, const T (&choices)[N])
{
    return choices[in.ConsumeIntegralInRange<std::size_t>(0, N - 1)];
}

std::uint64_t saturatingSum(std::uint64_t a, std::uint64_t b)
{
    const std::uint64_t ceiling = std::numeric_limits<std::uint64_t>::max() / 2;
    return a >= ceiling - std::min(b, ceiling) ? ceiling : a + b;
}

class Builder {
public:
    Builder(FuzzedDataProvider &in, const GeneratorOptions &options) : in_(in), options_(options) {}

    void build()
    {
        std::size_t entries = in_.ConsumeIntegralInRange<std::size_t>(0, mostEntries);
        for (std::size_t i = 0; i < entries && in_.remaining_bytes() > 0; ++i) {
            addEntry();
        }
        // With port shapes, plane generatedPlaneCount is the IOPort plane.
        std::size_t lastPlane = generatedPlaneCount - (options_.portShapes ? 0 : 1);
        if (!ids_.empty()) {
            std::size_t links = in_.ConsumeIntegralInRange<std::size_t>(0, mostLinks);
            for (std::size_t i = 0; i < links && in_.remaining_bytes() > 0; ++i) {
                links_.push_back(
                    Link{index(), index(), in_.ConsumeIntegralInRange<std::size_t>(0, lastPlane)});
            }
        }
        // Keep the longest run of links whose walks stay within bounds: a
        // few cycles at depth eight already multiply into millions of lines.
        const std::uint64_t mostEntryLines = 2 * controllers_.size() + mostEntryLinesBelow;
        std::size_t low = 0;
        std::size_t high = links_.size();
        while (low < high) {
            std::size_t middle = low + (high - low + 1) / 2;
            if (entryLines(middle, 0) + entryLines(middle, 1) <= mostEntryLines) {
                low = middle;
            } else {
                high = middle - 1;
            }
        }
        links_.resize(low);
        for (const Link &link : links_) {
            standin::addChild(ids_[link.parent], ids_[link.child],
                              link.plane < generatedPlaneCount ? generatedPlanes[link.plane]
                                                               : portPlane);
        }
        if (options_.portShapes && !ids_.empty()) {
            addRootLinks();
        }
        planFailures();
    }

    bool failuresPlanned() const { return failuresPlanned_; }
    std::size_t controllers() const { return controllers_.size(); }
    std::size_t transports() const { return transports_; }
    std::uint64_t expectedEntryLines(std::size_t plane) const
    {
        return entryLines(links_.size(), plane);
    }

private:
    std::string_view propertyKey()
    {
        std::size_t choice = in_.ConsumeIntegralInRange<std::size_t>(
            0, fuzzing::probedKeyCount + std::size(otherKeys) - 1 +
                   (options_.portShapes ? std::size(portKeys) : 0));
        if (choice < fuzzing::probedKeyCount) {
            return fuzzing::probedKeys[choice];
        }
        choice -= fuzzing::probedKeyCount;
        return choice < std::size(otherKeys) ? otherKeys[choice]
                                             : portKeys[choice - std::size(otherKeys)];
    }

    // The root's children in the IOPort and IOService planes, and the IDs
    // and locations of a few entries.
    void addRootLinks()
    {
        standin::Registry &registry = standin::registry();
        std::size_t links = in_.ConsumeIntegralInRange<std::size_t>(0, mostRootLinks);
        for (std::size_t i = 0; i < links; ++i) {
            registry.addChild(registry.root(), ids_[index()],
                              in_.ConsumeBool() ? portPlane : generatedPlanes[0]);
        }
        std::size_t marked = in_.ConsumeIntegralInRange<std::size_t>(0, mostRootLinks);
        for (std::size_t i = 0; i < marked; ++i) {
            standin::EntryId entry = ids_[index()];
            if (in_.ConsumeBool()) {
                registry.setRegistryId(entry, in_.ConsumeIntegralInRange<std::uint64_t>(0, 16));
            } else {
                registry.setLocation(entry, in_.ConsumeBool() ? portPlane : generatedPlanes[0],
                                     nameText());
            }
        }
    }

    std::size_t index() { return in_.ConsumeIntegralInRange<std::size_t>(0, ids_.size() - 1); }

    void addEntry()
    {
        std::string className;
        switch (in_.ConsumeIntegralInRange(0, options_.portShapes ? 6 : 5)) {
        case 0: className = controllerClass; break;
        case 1: className = transportClass; break;
        case 2: className = "IOPowerConnection"; break;
        case 3: className = "AppleHPMInterfaceType10"; break;
        case 6: className = pick(in_, portClasses); break;
        default: className = nameText(); break;
        }
        std::string name = in_.ConsumeBool() ? className : nameText();
        standin::EntryId id = standin::addEntry(className, name);
        if (className == controllerClass) {
            controllers_.push_back(ids_.size());
        }
        transports_ += className == transportClass ? 1 : 0;
        ids_.push_back(id);

        std::size_t properties = in_.ConsumeIntegralInRange<std::size_t>(0, mostProperties);
        for (std::size_t i = 0; i < properties; ++i) {
            std::u16string key;
            if (in_.ConsumeIntegralInRange(0, 7) == 0) {
                key = units();
            } else {
                std::string_view text = propertyKey();
                key.assign(text.begin(), text.end());
            }
            standin::setProperty(id, std::move(key), value(0));
        }
    }

    // Class and name bytes: any but a line feed, and lengths about the 127
    // bytes that a name read keeps.
    std::string nameText()
    {
        static const std::size_t lengths[] = {0, 1, 2, 126, 127, 128, 129, 255, 300};
        std::size_t length =
            in_.ConsumeBool() ? pick(in_, lengths) : in_.ConsumeIntegralInRange<std::size_t>(0, 24);
        std::string text;
        switch (in_.ConsumeIntegralInRange(0, 3)) {
        case 0: text = in_.ConsumeBytesAsString(length); break;
        case 1: text = repeat("Port-USB-C@1", length); break;
        case 2: text = repeat("\xc3\xa9\xe2\x82\xac\xf0\x9f\x98\x80", length); break;
        default: text = repeat("] [x] (UserClient: y) [z] >>> \"%s\\", length); break;
        }
        for (char &c : text) {
            c = c == '\n' ? ' ' : c;
        }
        return text;
    }

    static std::string repeat(std::string_view unit, std::size_t length)
    {
        std::string text;
        while (text.size() < length) {
            text.append(unit.substr(0, length - text.size()));
        }
        return text;
    }

    // String values as UTF-16: a run of filler bytes about the 256 and 512
    // bytes that conversions allow, then a few characters of every width,
    // lone and reversed surrogates, and zero characters.
    std::u16string units()
    {
        static const std::size_t fillers[] = {0,   1,   252, 253, 254, 255, 256, 257,
                                              508, 509, 510, 511, 512, 513, 1000};
        static const char16_t fills[] = {u'a', u'"', u'%', u']', u')', u' '};
        std::size_t filler =
            in_.ConsumeBool() ? pick(in_, fillers) : in_.ConsumeIntegralInRange<std::size_t>(0, 40);
        std::u16string text(filler, pick(in_, fills));
        std::size_t extra = in_.ConsumeIntegralInRange<std::size_t>(0, 4);
        for (std::size_t i = 0; i < extra; ++i) {
            switch (in_.ConsumeIntegralInRange(0, 8)) {
            case 0: text += u'x'; break;
            case 1: text += u'\u00e9'; break;                     // two bytes of UTF-8
            case 2: text += u'\u20ac'; break;                     // three
            case 3: text += u"\U0001F600"; break;                 // four, as a pair
            case 4: text += static_cast<char16_t>(0xD83D); break; // lone high
            case 5: text += static_cast<char16_t>(0xDE00); break; // lone low
            case 6: text += u'\0'; break;
            case 7: text += {char16_t(0xDE00), char16_t(0xD83D)}; break; // a pair reversed
            default: text += u'\uffff'; break;
            }
        }
        return text;
    }

    standin::Bytes bytes()
    {
        static const std::size_t lengths[] = {0,   1,   15,  16,  17,  31,  32,  33,
                                              112, 127, 128, 129, 144, 256, 4096};
        std::size_t length = in_.ConsumeBool() ? pick(in_, lengths)
                                               : in_.ConsumeIntegralInRange<std::size_t>(0, 300);
        standin::Bytes data = in_.ConsumeBytes<std::uint8_t>(std::min<std::size_t>(length, 32));
        for (std::size_t i = data.size(); i < length; ++i) {
            data.push_back(static_cast<std::uint8_t>(i * 37 + 11));
        }
        return data;
    }

    standin::ValuePtr integer()
    {
        static const std::int64_t extremes[] = {
            0,
            1,
            -1,
            std::numeric_limits<std::int64_t>::min(),
            std::numeric_limits<std::int64_t>::min() + 1,
            std::numeric_limits<std::int64_t>::max(),
            std::numeric_limits<std::int32_t>::min(),
            std::numeric_limits<std::int32_t>::max(),
            std::int64_t(1) << 32,
            255,
        };
        switch (in_.ConsumeIntegralInRange(0, 2)) {
        case 0: return standin::makeInteger(pick(in_, extremes));
        case 1: return standin::makeUnsigned(in_.ConsumeIntegral<std::uint64_t>());
        default: return standin::makeInteger(in_.ConsumeIntegral<std::int64_t>());
        }
    }

    double real()
    {
        static const double specials[] = {
            std::numeric_limits<double>::quiet_NaN(),
            -std::numeric_limits<double>::quiet_NaN(),
            std::numeric_limits<double>::infinity(),
            -std::numeric_limits<double>::infinity(),
            std::numeric_limits<double>::max(),
            std::numeric_limits<double>::lowest(),
            std::numeric_limits<double>::denorm_min(),
            0.0,
            -0.0,
            0.5,
            -0.5,
            1.5,
            -2.5,
            1e300,
            -1e300,
            9223372036854775808.0,  // 2^63
            -9223372036854775808.0, // -2^63
            9223372036854774784.0,  // the largest double below 2^63
            -9223372036854777856.0, // the next double below -2^63
        };
        if (in_.ConsumeBool()) {
            return pick(in_, specials);
        }
        std::uint64_t bits = in_.ConsumeIntegral<std::uint64_t>();
        double value = 0;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    standin::ValuePtr dictionaryKey()
    {
        if (!options_.memberKeys.empty() && in_.ConsumeBool()) {
            return standin::makeString(options_.memberKeys[in_.ConsumeIntegralInRange<std::size_t>(
                0, options_.memberKeys.size() - 1)]);
        }
        return standin::makeUtf16String(units());
    }

    standin::ValuePtr value(unsigned depth)
    {
        int kind = in_.ConsumeIntegralInRange(0, options_.portShapes ? 10 : 9);
        if (depth >= deepestValue && (kind == 6 || kind == 7 || kind == 10)) {
            kind = 0;
        }
        switch (kind) {
        case 0:
        case 1: return standin::makeData(bytes());
        case 2: return integer();
        case 3: return standin::makeReal(real());
        case 4:
        case 5: return standin::makeUtf16String(units());
        case 6: {
            standin::DictionaryItems items;
            std::size_t count = in_.ConsumeIntegralInRange<std::size_t>(0, mostItems);
            for (std::size_t i = 0; i < count; ++i) {
                items.emplace_back(dictionaryKey(), value(depth + 1));
            }
            return standin::makeDictionary(std::move(items));
        }
        case 7: {
            standin::ArrayItems items;
            std::size_t count = in_.ConsumeIntegralInRange<std::size_t>(0, mostItems);
            for (std::size_t i = 0; i < count; ++i) {
                items.push_back(value(depth + 1));
            }
            return standin::makeArray(std::move(items));
        }
        case 8: return standin::makeBoolean(in_.ConsumeBool());
        case 10: {
            standin::ArrayItems members;
            std::size_t count = in_.ConsumeIntegralInRange<std::size_t>(0, mostItems);
            for (std::size_t i = 0; i < count; ++i) {
                members.push_back(value(depth + 1));
            }
            return standin::makeSet(std::move(members));
        }
        default: return standin::makeDate(real());
        }
    }

    void planFailures()
    {
        std::size_t rules = in_.ConsumeIntegralInRange<std::size_t>(0, 3);
        for (std::size_t i = 0; i < rules; ++i) {
            standin::FaultRule rule(static_cast<standin::Call>(
                in_.ConsumeIntegralInRange(0, static_cast<int>(options_.lastFailingCall))));
            if (in_.ConsumeBool() && !ids_.empty()) {
                rule.forEntry(ids_[index()]);
            }
            if (in_.ConsumeBool()) {
                rule.forDetail(in_.ConsumeBool() ? std::string(propertyKey())
                                                 : std::string(pick(in_, otherDetails)));
            }
            if (in_.ConsumeBool()) {
                rule.onlyOccurrence(in_.ConsumeIntegralInRange<std::uint64_t>(1, 40));
            }
            rule.withStatus(pick(in_, failureStatuses));
            standin::faults().add(std::move(rule));
            failuresPlanned_ = true;
        }
        if (in_.ConsumeBool()) {
            standin::faults().failNthCall(
                in_.ConsumeIntegralInRange<std::uint64_t>(1, mostFailableCall),
                pick(in_, failureStatuses));
            failuresPlanned_ = true;
        }
    }

    // How many entry lines the walks of every controller print in a plane,
    // with the first count links, when nothing fails: one per path of at
    // most eight links from a controller.
    std::uint64_t entryLines(std::size_t count, std::size_t plane) const
    {
        std::vector<std::vector<std::size_t>> children(ids_.size());
        for (std::size_t i = 0; i < count; ++i) {
            if (links_[i].plane == plane) {
                children[links_[i].parent].push_back(links_[i].child);
            }
        }
        // below[v]: the lines of v's walk from the level being computed.
        std::vector<std::uint64_t> below(ids_.size(), 1);
        for (std::uint32_t level = 0; level < maxWalkDepth; ++level) {
            std::vector<std::uint64_t> next(ids_.size(), 1);
            for (std::size_t v = 0; v < ids_.size(); ++v) {
                for (std::size_t child : children[v]) {
                    next[v] = saturatingSum(next[v], below[child]);
                }
            }
            below.swap(next);
        }
        std::uint64_t total = 0;
        for (std::size_t controller : controllers_) {
            total = saturatingSum(total, below[controller]);
        }
        return total;
    }

    FuzzedDataProvider &in_;
    const GeneratorOptions &options_;
    std::vector<standin::EntryId> ids_;
    std::vector<std::size_t> controllers_;
    std::size_t transports_ = 0;
    std::vector<Link> links_;
    bool failuresPlanned_ = false;
};

} // namespace

GeneratedRegistry generateRegistry(FuzzedDataProvider &in, const GeneratorOptions &options)
{
    Builder built(in, options);
    built.build();
    GeneratedRegistry result;
    result.failuresPlanned = built.failuresPlanned();
    result.controllers = built.controllers();
    result.transports = built.transports();
    for (std::size_t plane = 0; plane < walkedPlanes; ++plane) {
        result.walkedEntries[plane] = built.expectedEntryLines(plane);
    }
    return result;
}

} // namespace fuzzing
