#pragma once
// The installer's whole job, run once by the program entry.

#include <functional>

#include "app/update_rules.h"

namespace kavrel {

// The named mutex that lets one installer run at a time, in a private
// namespace that only administrators can create or open (alias
// kUpdateNamespaceAlias): no other account can take the name first and keep
// every update out. Where the system has no such namespace, in the global
// one: the application's folder belongs to the machine, so copies started in
// two users' sessions must meet too.
constexpr const char* kUpdateNamespaceAlias = "KavrelUpdate";
constexpr const char* kUpdateRunningMutexBaseName = "KavrelUpdateRunning";
constexpr const char* kUpdateRunningMutexName = "Global\\KavrelUpdateRunning";

// Runs the update and returns how it ended; while another copy holds the
// mutex it says so and returns RunOutcome::AnotherCopyRunning, having
// written nothing. `afterDiscovery` lets a test build select a language file once the
// application's folder is known; the shipped installer passes nothing.
RunOutcome RunUpdateFlow(const std::function<void()>& afterDiscovery = {});

// Releases what the update-flow module holds at process end.
void ShutDownUpdateFlow();

}  // namespace kavrel
