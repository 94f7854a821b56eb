#pragma once
// Module start-up and shut-down: the message language, the operating-system
// description with the registry view it decides, the shared registry
// accessor, the run's log when a log switch asks for it, and the
// command-line switch.
#include <string>

#include "platform/registry.h"

namespace kavrel {

// Runs once per process, called first by the program entry (after its DLL
// and junction hardening); a second call does nothing.
void StartUpSettings();

// Closes the log, destroys the shared accessor, waits for a "ver" still running (bounded)
// and clears the record's texts.
void ShutDownSettings();

// The operating system as start-up described it.
const std::string& OperatingSystemText();

// The shared registry accessor created by StartUpSettings.
RegistryAccessor& Registry();

}  // namespace kavrel
