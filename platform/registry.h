#pragma once
// The registry accessor: a root key, an access mask applied to every key it
// opens or creates, and at most one open key. Writes are lazy: closing a key
// does not flush it.
#include <windows.h>

#include <cstdint>
#include <stdexcept>
#include <string>

#include "platform/unique_handle.h"

namespace kavrel {

// Raised by a read or write that fails; the text names the value.
class RegistryError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

class RegistryAccessor {
public:
    // Full access (KEY_ALL_ACCESS) unless another mask is given; root HKEY_CURRENT_USER.
    explicit RegistryAccessor(REGSAM access = KEY_ALL_ACCESS);

    // Changes the root key, closing any open key.
    void SetRootKey(HKEY root);
    // Opens a key below the root (creating it when asked); false when it cannot.
    bool OpenKey(const std::string& path, bool create);
    // True when the open key holds a value of that name.
    bool ValueExists(const std::string& name) const;
    // A REG_SZ or REG_EXPAND_SZ value as stored, cut at its first NUL.
    // Raises "Invalid data type for '<name>'" or "Failed to get data for '<name>'".
    std::string ReadText(const std::string& name) const;
    // Writes a REG_DWORD value; raises "Failed to set data for '<name>'".
    void WriteInteger(const std::string& name, std::int32_t value);
    // Closes the open key, if any.
    void CloseKey();

    // The access mask applied to every key.
    REGSAM Access() const { return access_; }
    // True while a key is open.
    bool HasOpenKey() const { return static_cast<bool>(key_); }

private:
    HKEY root_ = HKEY_CURRENT_USER;
    REGSAM access_;
    UniqueHKey key_;
};

}  // namespace kavrel
