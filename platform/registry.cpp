#include "platform/registry.h"

#include <vector>

namespace kavrel {

RegistryAccessor::RegistryAccessor(REGSAM access) : access_(access) {}

void RegistryAccessor::SetRootKey(HKEY root) {
    CloseKey();
    root_ = root;
}

bool RegistryAccessor::OpenKey(const std::string& path, bool create) {
    CloseKey();
    HKEY opened = nullptr;
    LONG status = create
        ? ::RegCreateKeyExA(root_, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access_, nullptr, &opened, nullptr)
        : ::RegOpenKeyExA(root_, path.c_str(), 0, access_, &opened);
    if (status != ERROR_SUCCESS) return false;
    key_.reset(opened);
    return true;
}

bool RegistryAccessor::ValueExists(const std::string& name) const {
    if (!key_) return false;
    return ::RegQueryValueExA(key_.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

std::string RegistryAccessor::ReadText(const std::string& name) const {
    const std::string failed = "Failed to get data for '" + name + "'";
    if (!key_) throw RegistryError(failed);
    DWORD type = 0;
    DWORD size = 0;
    if (::RegQueryValueExA(key_.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        throw RegistryError(failed);
    if (type != REG_SZ && type != REG_EXPAND_SZ) throw RegistryError("Invalid data type for '" + name + "'");
    // One spare byte: a value stored without its terminating NUL still ends.
    std::vector<char> data(size + 1u, '\0');
    DWORD read = size;
    if (::RegQueryValueExA(key_.get(), name.c_str(), nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &read) !=
            ERROR_SUCCESS || read > size)
        throw RegistryError(failed);
    if (type != REG_SZ && type != REG_EXPAND_SZ) throw RegistryError("Invalid data type for '" + name + "'");
    return std::string(data.data());
}

void RegistryAccessor::WriteInteger(const std::string& name, std::int32_t value) {
    DWORD data = static_cast<DWORD>(value);
    if (!key_ || ::RegSetValueExA(key_.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data),
                                  sizeof data) != ERROR_SUCCESS)
        throw RegistryError("Failed to set data for '" + name + "'");
}

void RegistryAccessor::CloseKey() { key_.reset(); }

}  // namespace kavrel
