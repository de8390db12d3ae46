#include "explain/analysis/machine_facts.h"

#include "explain/analysis/captured_values.h"
#include "explain/analysis/utf8_text.h"

namespace explain {

namespace {

// Printable ASCII up to the first zero byte, as "model" holds it; anything
// else in the bytes is not a model name.
std::optional<std::string> modelOf(const PropertyValue *value)
{
    if (value == nullptr) {
        return std::nullopt;
    }
    if (value->kind == PropertyValue::Kind::string) {
        return textOf(value);
    }
    if (value->kind != PropertyValue::Kind::data) {
        return std::nullopt;
    }
    std::string text;
    for (std::uint8_t byte : value->bytes) {
        if (byte == 0) {
            break;
        }
        if (byte < 0x20 || byte > 0x7e) {
            return std::nullopt;
        }
        text += static_cast<char>(byte);
    }
    if (text.empty()) {
        return std::nullopt;
    }
    return text;
}

std::optional<std::string> nonEmptyText(const PropertyValue *value)
{
    std::optional<std::string> text = textOf(value);
    if (text && text->find_first_not_of(' ') == std::string::npos) {
        return std::nullopt;
    }
    return text;
}

// "Darwin Kernel Version 27.0.0: ...; root:xnu-.../RELEASE_ARM64_T6030" is
// "Darwin 27.0.0 (RELEASE_ARM64_T6030)": the version, and the build's last
// word, which names the chip. Another form stands as it is.
std::string kernelWords(const std::string &kernel)
{
    const std::string lead = "Darwin Kernel Version ";
    const std::size_t colon = kernel.find(':');
    if (kernel.compare(0, lead.size(), lead) != 0 || colon == std::string::npos ||
        colon == lead.size()) {
        return kernel;
    }
    std::string words = "Darwin " + kernel.substr(lead.size(), colon - lead.size());
    const std::size_t last = kernel.find_last_of("/ ");
    if (last != std::string::npos && last > colon && last + 1 < kernel.size()) {
        words += " (" + kernel.substr(last + 1) + ")";
    }
    return words;
}

} // namespace

MachineFacts readMachineFacts(const std::vector<DictionaryMember> &members)
{
    MachineFacts machine;
    machine.model = modelOf(memberOf(members, "model"));
    machine.osBuild = nonEmptyText(memberOf(members, "OS Build Version"));
    machine.kernel = nonEmptyText(memberOf(members, "IOKitBuildVersion"));
    return machine;
}

std::string machineWords(const MachineFacts &machine)
{
    std::string words;
    auto add = [&words](const std::string &part) { words += (words.empty() ? "" : "; ") + part; };
    if (machine.model) {
        add(*machine.model);
    }
    if (machine.osBuild) {
        add("macOS build " + *machine.osBuild);
    }
    if (machine.kernel) {
        add("kernel " + kernelWords(*machine.kernel));
    }
    return words;
}

} // namespace explain
