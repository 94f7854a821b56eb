#pragma once
// Module start-up and shut-down: the message language, the operating-system
// description with the registry view it decides, the shared registry
// accessor and the command-line switch.
#include "platform/registry.h"

namespace kavrel {

// Runs once per process, before the program entry; a second call does nothing.
void StartUpSettings();

// Destroys the shared accessor, waits for a "ver" still running (bounded)
// and clears the record's texts.
void ShutDownSettings();

// The shared registry accessor created by StartUpSettings.
RegistryAccessor& Registry();

}  // namespace kavrel
