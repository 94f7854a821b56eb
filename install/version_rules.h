#pragma once
// Version decisions of the versioned installation, as plain functions.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "lang/message_rules.h"

namespace kavrel {

// True when the dotted version `first` is older than `second`. Up to three
// dot-ended components are compared as numbers, then the rest of each text;
// a component that does not convert decides against the text it stands in
// (the second text is read first). A component never read counts as 0.
bool IsOlderVersion(std::string first, std::string second);

// Where a data file of a versioned kind keeps its version.
struct VersionField {
    std::uint32_t offset;
    std::uint32_t width;  // 1 or 2 bytes, little-endian
};
// The field of the kinds "pak", "rdw" and "mzv"; nullopt for other kinds.
std::optional<VersionField> VersionFieldOfKind(std::string_view kind);

// The kinds whose existing files are replaced only after a version comparison.
bool IsVersionedKind(std::string_view kind);

// The value of a field read from a file: `read` bytes at the field; 0 unless
// exactly the field's width was read.
std::int32_t VersionFromField(const std::uint8_t* bytes, std::uint32_t read, const VersionField& field);

// The question before an installed file is replaced by an older one, in the
// built-in Russian or English form: the installed version named first.
MessageBoxCall OlderVersionQuestion(bool useRussian, const std::wstring& target, const std::string& installedVersion,
                                    const std::string& newVersion);

}  // namespace kavrel
