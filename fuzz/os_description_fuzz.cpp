// The operating-system tables on any facts: the description has the shape
// the tables promise, and a fact that the Needs* functions call unneeded
// changes nothing (the gathering code skips "ver" and the registry then).
//
// Input: flags, major, minor, build (4 bytes), platform id, suite mask (2),
// product type, architecture (2), the four metrics (1 byte each); then
// NUL-ended texts: service pack, product name, ProductOptions type; the rest
// is the output of "ver".
#include <optional>
#include <string>

#include "base/text.h"
#include "env/os_description_rules.h"
#include "fuzz_support.h"

namespace {

using kavrel::OsFacts;
using kavrel::WindowsVersionParts;

enum Flag : std::uint8_t {
    kVersionQueryOk = 1,
    kExtendedQueryOk = 2,
    kHotfixPresent = 4,
    kHasProductName = 8,
    kHasProductOptionsType = 16,
};

OsFacts FactsFrom(kavrel::fuzz::ByteReader& in) {
    OsFacts facts;
    const std::uint8_t flags = in.Byte();
    facts.versionQueryOk = (flags & kVersionQueryOk) != 0;
    facts.extendedQueryOk = (flags & kExtendedQueryOk) != 0;
    facts.hotfixQ246009Present = (flags & kHotfixPresent) != 0;
    facts.version.majorVersion = in.Byte();
    facts.version.minorVersion = in.Byte();
    facts.version.buildNumber = in.U32();
    facts.version.platformId = in.Byte();
    facts.version.suiteMask = in.U16();
    facts.version.productType = in.Byte();
    facts.architecture = in.U16();
    facts.metricTabletPc = static_cast<std::int8_t>(in.Byte());
    facts.metricMediaCenter = static_cast<std::int8_t>(in.Byte());
    facts.metricStarter = static_cast<std::int8_t>(in.Byte());
    facts.metricServerR2 = static_cast<std::int8_t>(in.Byte());
    facts.version.servicePack = in.Text();
    std::string productName = in.Text();
    if (flags & kHasProductName) facts.productName = std::move(productName);
    std::string productOptionsType = in.Text();
    if (flags & kHasProductOptionsType) facts.productOptionsType = std::move(productOptionsType);
    facts.verOutput = in.Rest();
    return facts;
}

bool SameParts(const std::optional<WindowsVersionParts>& a, const std::optional<WindowsVersionParts>& b) {
    if (!a || !b) return !a && !b;
    return a->name == b->name && a->version == b->version && a->servicePack == b->servicePack;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    kavrel::fuzz::ByteReader in(data, size);
    const OsFacts facts = FactsFrom(in);
    const std::optional<WindowsVersionParts> parts = kavrel::GetWindowsVersionParts(facts);

    const std::uint32_t platform = facts.version.platformId;
    FUZZ_CHECK(parts.has_value() == (facts.versionQueryOk && (platform == 1 || platform == 2)));

    OsFacts gathered = facts;
    if (!kavrel::NeedsVerOutput(facts.version)) gathered.verOutput = "ver was not run";
    if (!kavrel::NeedsProductName(facts)) gathered.productName = std::nullopt;
    if (!kavrel::NeedsHotfixKey(facts.version)) gathered.hotfixQ246009Present = !facts.hotfixQ246009Present;
    if (!kavrel::NeedsProductOptionsType(facts)) gathered.productOptionsType = std::nullopt;
    FUZZ_CHECK(SameParts(kavrel::GetWindowsVersionParts(gathered), parts));

    for (bool includeVersion : {false, true}) {
        const std::string description = kavrel::ComposeOsDescription(parts, includeVersion);
        const std::optional<kavrel::OsFlags> flags =
            kavrel::FlagsOfDescription(parts, description, facts.nativeMachine);
        FUZZ_CHECK(flags.has_value() == parts.has_value());
        if (!parts) {
            FUZZ_CHECK(description == "unknown");
            continue;
        }
        FUZZ_CHECK(description.starts_with(parts->name));
        if (!kavrel::IsBlank(parts->servicePack)) FUZZ_CHECK(description.ends_with(" " + parts->servicePack));
        if (includeVersion && !kavrel::IsBlank(parts->version))
            FUZZ_CHECK(description.find(" " + parts->version) != std::string::npos);
        if (!includeVersion && kavrel::IsBlank(parts->servicePack)) FUZZ_CHECK(description == parts->name);
        FUZZ_CHECK(flags->is64BitWindows == (description.find(" 64") != std::string::npos));
    }
    if (parts) {
        // The version falls back to the record's numbers when "ver" gave none.
        FUZZ_CHECK(!parts->version.empty());
        const bool namedByRegistry = platform == 2 && facts.extendedQueryOk && facts.version.majorVersion == 6 &&
                                     facts.productName.has_value();
        if (namedByRegistry) FUZZ_CHECK(parts->name.starts_with(*facts.productName));
        else FUZZ_CHECK(parts->name.starts_with("Microsoft Windows "));
    }
    return 0;
}
