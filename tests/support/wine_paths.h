#pragma once
// Paths handed to the Windows tests by CTest are Unix paths; under Wine the
// Unix root is the drive Z:.
#include <cstdlib>
#include <string>

namespace kavrel::testing {

// The Windows form of a Unix path given in an environment variable; empty when unset.
inline std::string WindowsPathFromEnvironment(const char* variable) {
    const char* value = std::getenv(variable);
    if (!value || !*value) return {};
    std::string path = value;
    if (path.front() != '/') return path;
    for (char& c : path)
        if (c == '/') c = '\\';
    return "Z:" + path;
}

}  // namespace kavrel::testing
