#include "platform/registry.h"

#include <vector>

namespace kavrel {

RegistryAccessor::RegistryAccessor(REGSAM access) : access_(access) {}

void RegistryAccessor::SetRootKey(HKEY root) {
    CloseKey();
    root_ = root;
}

std::optional<Failure> RegistryAccessor::OpenKey(const std::string& path, bool create) {
    CloseKey();
    UniqueHKey opened;
    LONG status = create ? ::RegCreateKeyExA(root_, path.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, access_, nullptr,
                                             opened.put(), nullptr)
                         : ::RegOpenKeyExA(root_, path.c_str(), 0, access_, opened.put());
    if (status != ERROR_SUCCESS)
        return KeyFailure(create ? "the key cannot be opened or created" : "the key cannot be opened",
                          static_cast<std::uint32_t>(status), FailureCause::InstallFailed, path);
    key_ = std::move(opened);
    keyPath_ = path;
    return std::nullopt;
}

bool RegistryAccessor::ValueExists(const std::string& name) const {
    if (!key_) return false;
    return ::RegQueryValueExA(key_.get(), name.c_str(), nullptr, nullptr, nullptr, nullptr) == ERROR_SUCCESS;
}

template <typename Char, typename Query, typename NameChar>
std::basic_string<Char> RegistryAccessor::ReadTextValue(const std::string& name, const NameChar* queryName,
                                                        Query query, DWORD& type) const {
    const std::string failed = "Failed to get data for '" + name + "'";
    if (!key_) Fail(failed, ERROR_INVALID_HANDLE, FailureCause::RegistryUnreadable);
    type = 0;
    DWORD size = 0;
    LONG status = query(key_.get(), queryName, nullptr, &type, nullptr, &size);
    if (status != ERROR_SUCCESS) Fail(failed, static_cast<std::uint32_t>(status), FailureCause::RegistryUnreadable);
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        Fail("Invalid data type for '" + name + "'", ERROR_SUCCESS, FailureCause::RegistryUnreadable);
    // One spare character: a value stored without its terminating NUL (or
    // with an odd number of bytes) still ends.
    std::vector<Char> data(size / sizeof(Char) + 2u, Char{});
    DWORD read = size;
    status = query(key_.get(), queryName, nullptr, &type, reinterpret_cast<BYTE*>(data.data()), &read);
    if (status != ERROR_SUCCESS) Fail(failed, static_cast<std::uint32_t>(status), FailureCause::RegistryUnreadable);
    if (read > size) Fail(failed, ERROR_MORE_DATA, FailureCause::RegistryUnreadable);
    if (type != REG_SZ && type != REG_EXPAND_SZ)
        Fail("Invalid data type for '" + name + "'", ERROR_SUCCESS, FailureCause::RegistryUnreadable);
    return std::basic_string<Char>(data.data());
}

std::string RegistryAccessor::ReadText(const std::string& name) const {
    DWORD type = 0;
    return ReadTextValue<char>(name, name.c_str(), &::RegQueryValueExA, type);
}

RegistryAccessor::PathText RegistryAccessor::ReadPathText(const std::string& name) const {
    // Value names of this program are ASCII.
    const std::wstring wideName(name.begin(), name.end());
    DWORD type = 0;
    PathText value;
    value.text = ReadTextValue<wchar_t>(name, wideName.c_str(), &::RegQueryValueExW, type);
    value.expandable = type == REG_EXPAND_SZ;
    return value;
}

void RegistryAccessor::WriteInteger(const std::string& name, std::int32_t value) {
    const std::string failed = "Failed to set data for '" + name + "'";
    if (!key_) Fail(failed, ERROR_INVALID_HANDLE, FailureCause::InstallFailed);
    DWORD data = static_cast<DWORD>(value);
    const LONG status =
        ::RegSetValueExA(key_.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&data), sizeof data);
    if (status != ERROR_SUCCESS) Fail(failed, static_cast<std::uint32_t>(status), FailureCause::InstallFailed);
}

void RegistryAccessor::CloseKey() {
    key_.reset();
    keyPath_.clear();
}

Failure RegistryAccessor::KeyFailure(const std::string& what, std::uint32_t error, FailureCause cause,
                                     const std::string& keyPath, CodeLocation where) const {
    const char* rootName = root_ == HKEY_LOCAL_MACHINE ? "HKEY_LOCAL_MACHINE\\"
                           : root_ == HKEY_CURRENT_USER ? "HKEY_CURRENT_USER\\"
                                                        : "";
    const ShownText key = SystemText(rootName + keyPath);
    Failure failure = error == ERROR_SUCCESS ? Refusal(what, ERROR_INVALID_DATA, key, where)
                                             : WindowsFailure(what, error, key, where);
    failure.cause = cause;
    return failure;
}

void RegistryAccessor::Fail(const std::string& what, std::uint32_t error, FailureCause cause,
                             CodeLocation where) const {
    Raise(KeyFailure(what, error, cause, keyPath_, where));
}

}  // namespace kavrel
