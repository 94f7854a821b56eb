#pragma once
// The registry accessor: a root key, an access mask applied to every key it
// opens or creates, and at most one open key. Writes are lazy: closing a key
// does not flush it.
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "base/failure.h"
#include "platform/unique_handle.h"

namespace kavrel {

class RegistryAccessor {
public:
    // Full access (KEY_ALL_ACCESS) unless another mask is given; root HKEY_CURRENT_USER.
    explicit RegistryAccessor(REGSAM access = KEY_ALL_ACCESS);

    // Changes the root key, closing any open key.
    void SetRootKey(HKEY root);
    // Opens a key below the root (creating it when asked): nothing when it
    // is open, else the failure.
    [[nodiscard]] std::optional<Failure> OpenKey(const std::string& path, bool create);
    // Opens a key below the root to read what it may hold: false when it
    // cannot be opened, whatever the reason (the values are then absent).
    bool TryOpenKey(const std::string& path) { return !OpenKey(path, false); }
    // True when the open key holds a value of that name.
    bool ValueExists(const std::string& name) const;
    // A REG_SZ or REG_EXPAND_SZ value as stored, cut at its first NUL.
    // Raises "Invalid data type for '<name>'" or "Failed to get data for '<name>'".
    std::string ReadText(const std::string& name) const;
    // The same value through the wide call, for a path: UTF-16 as stored,
    // with letters that the ANSI code page lacks, and whether it was stored
    // as REG_EXPAND_SZ (its "%NAME%" parts are the reader's to expand).
    // Raises as ReadText.
    struct PathText {
        std::wstring text;
        bool expandable = false;
    };
    PathText ReadPathText(const std::string& name) const;
    // Writes a REG_DWORD value; raises "Failed to set data for '<name>'".
    void WriteInteger(const std::string& name, std::int32_t value);
    // Closes the open key, if any.
    void CloseKey();

    // The access mask applied to every key.
    REGSAM Access() const { return access_; }
    // True while a key is open.
    bool HasOpenKey() const { return static_cast<bool>(key_); }

private:
    // The failure of a call on `keyPath`, for `cause` (a read that fails
    // leaves the registry unreadable for the run); a value of the wrong type
    // (`error` 0) is the installer's refusal.
    Failure KeyFailure(const std::string& what, std::uint32_t error, FailureCause cause, const std::string& keyPath,
                       CodeLocation where = CodeLocation::Here()) const;
    // Raises the failure of a read or write of the open key.
    [[noreturn]] void Fail(const std::string& what, std::uint32_t error, FailureCause cause,
                           CodeLocation where = CodeLocation::Here()) const;
    // A text value of characters `Char`, read through `query` (the A or W
    // call), and its type (REG_SZ or REG_EXPAND_SZ).
    template <typename Char, typename Query, typename NameChar>
    std::basic_string<Char> ReadTextValue(const std::string& name, const NameChar* queryName, Query query,
                                          DWORD& type) const;

    HKEY root_ = HKEY_CURRENT_USER;
    REGSAM access_;
    UniqueHKey key_;
    std::string keyPath_;
};

}  // namespace kavrel
