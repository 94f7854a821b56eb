#pragma once
// Names the running Windows in one line and learns from it whether the
// system is 64-bit, which decides the registry view of the whole run.
#include <windows.h>

#include <string>

#include "env/os_description_rules.h"
#include "platform/console_command.h"

namespace kavrel {

// The facts that the tables decide from, as this Windows reports them.
OsFacts GatherOsFacts();

// The one-line description; "unknown" when the version cannot be told.
// Sets the setup state's is64BitWindows and isServerWindows unless it is
// "unknown".
std::string DescribeOperatingSystem(bool includeVersion);

// A description, with the "ver" command that it started but did not wait
// for because its output could not change the description.
struct OsDescription {
    std::string text;
    ConsoleCommand unfinishedVer;
};

// As DescribeOperatingSystem, but where "ver" has to run and its output
// cannot change the description (Windows 8 and later, as this program is
// told, name themselves by "ProductName"), the interpreter is left running
// for the caller to finish: under Wine a console process takes longer to
// start than the whole install from the page cache.
OsDescription DescribeOperatingSystemLeavingVer(bool includeVersion);

}  // namespace kavrel
