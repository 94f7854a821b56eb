#pragma once
// The decisions of making or opening the administrators' private namespace,
// as plain rules of what the system reports.
#include <cstdint>

#include "base/windows_codes.h"

namespace kavrel {

// What became of the namespace.
enum class NamespaceOutcome {
    Made,               // created, or opened where another copy created it
    FunctionsMissing,   // the system has no private namespaces (before Vista)
    BoundaryFailed,     // the boundary descriptor could not be built (Wine)
    ExistsButUnopened,  // it exists, but opening it failed at every try
    Refused,            // creating failed otherwise (a token without the Administrators group)
};

constexpr std::uint32_t kNamespaceAlreadyExists = win32::kAlreadyExists;

// How many times creating or opening is tried, and the pause between two
// tries: about a second, for a copy that is closing the namespace (its last
// handle going) to be done with it.
constexpr int kNamespaceTries = 6;
constexpr std::uint32_t kNamespacePauseMs = 200;

// Whether a failed create is followed by an open: only when the namespace
// already exists.
constexpr bool OpensExistingNamespace(std::uint32_t createError) { return createError == kNamespaceAlreadyExists; }

// What one try came to, after `triesMade` tries (counted from 1). The
// namespace exists but cannot be opened only while another copy holds or
// closes it: tried again, and after the last try the outcome says so,
// never a fall-back to a name that any account may take first.
enum class NamespaceStep { Made, TryAgain, ExistsButUnopened, Refused };
constexpr NamespaceStep NamespaceStepAfter(bool created, std::uint32_t createError, bool opened, int triesMade) {
    if (created || opened) return NamespaceStep::Made;
    if (!OpensExistingNamespace(createError)) return NamespaceStep::Refused;
    return triesMade < kNamespaceTries ? NamespaceStep::TryAgain : NamespaceStep::ExistsButUnopened;
}

}  // namespace kavrel
