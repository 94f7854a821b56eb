// Prints what the installer learns about the running Windows, one
// "key=value" line each, for the tests that play several Windows versions.
#include <cstdio>

#include "base/setup_state.h"
#include "env/os_description.h"

int main() {
    using namespace kavrel;
    OsFacts facts = GatherOsFacts();
    std::optional<WindowsVersionParts> fromFacts = GetWindowsVersionParts(facts);
    std::string description = DescribeOperatingSystem(false);
    std::printf("version=%u.%u.%u\n", facts.version.majorVersion, facts.version.minorVersion,
                facts.version.buildNumber & 0xFFFFu);
    std::printf("platform=%u\nproducttype=%u\narchitecture=%u\nmachine=0x%X\n", facts.version.platformId,
                facts.version.productType, facts.architecture, facts.nativeMachine);
    std::printf("servicepack=%s\n", facts.version.servicePack.c_str());
    std::printf("productname=%s\n", facts.productName.value_or("(none)").c_str());
    std::string ver = facts.verOutput;
    for (char& c : ver)
        if (c == '\r' || c == '\n') c = '|';
    std::printf("ver=%s\n", ver.c_str());
    std::printf("description=%s\n", description.c_str());
    std::printf("fromfacts=%s\n", ComposeOsDescription(fromFacts, false).c_str());
    std::printf("withversion=%s\n", DescribeOperatingSystem(true).c_str());
    std::printf("is64=%d\nisserver=%d\n", CurrentSetup().is64BitWindows ? 1 : 0, CurrentSetup().isServerWindows ? 1 : 0);
    return 0;
}
