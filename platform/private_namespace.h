#pragma once
// A private object namespace that only administrators can create or open:
// named objects in it cannot be taken first by another account, as any
// account may take a name in the global namespace.
#include <optional>
#include <string>
#include <string_view>

namespace kavrel {

// The prefix ("<alias>\") under which this process names objects in the
// administrators' namespace of that alias (plain ASCII), created or opened
// once and held until the process ends. nullopt where the system lacks private namespaces
// or refuses one (Wine); the caller then names its objects as before.
std::optional<std::string> AdministratorsNamespacePrefix(std::string_view asciiAlias);

}  // namespace kavrel
