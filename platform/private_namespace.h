#pragma once
// A private object namespace that only administrators can create or open:
// named objects in it cannot be taken first by another account, as any
// account may take a name in the global namespace.
#include <optional>
#include <string>
#include <string_view>

#include "base/failure.h"
#include "platform/private_namespace_rules.h"

namespace kavrel {

// The namespace of an alias, and the prefix ("<alias>\") under which this
// process names objects in it when it was made.
struct AdministratorsNamespace {
    NamespaceOutcome outcome = NamespaceOutcome::FunctionsMissing;
    std::string prefix;  // empty unless outcome is Made
    // The record of the call that failed last, made at that call; none when
    // the namespace was made or the system has no such namespaces.
    std::optional<Failure> failure;
};

// Creates, or opens where it exists, the administrators' namespace of that
// alias (plain ASCII), trying again as NamespaceStepAfter says, and holds it
// until the process ends.
AdministratorsNamespace OpenAdministratorsNamespace(std::string_view asciiAlias);

}  // namespace kavrel
