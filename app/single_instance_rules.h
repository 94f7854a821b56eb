#pragma once
// The decisions of the one-installer-at-a-time lock, as plain functions of
// what the system reports.
#include <cstdint>
#include <string>
#include <string_view>

#include "platform/private_namespace_rules.h"

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

// What the run does about the lock.
enum class LockAction {
    TakeMutex,           // create the mutex of that name
    AnotherCopyRunning,  // end the run as when another copy holds the mutex
    GoOnUnguarded,       // run without the lock rather than not at all
};

struct UpdateLockPlan {
    LockAction action = LockAction::GoOnUnguarded;
    std::string mutexName;  // empty unless the mutex is to be taken
};

// The lock after the namespace's outcome; `namespacePrefix` is the prefix
// of a namespace made. The global name only where the system cannot make
// the namespace at all: a namespace that exists but cannot be opened is
// another copy's, and a fall-back there would give two copies two locks.
UpdateLockPlan PlanUpdateLock(NamespaceOutcome outcome, std::string_view namespacePrefix);

// What creating the mutex came to.
enum class MutexClaim { Claimed, AnotherCopyRunning, Unguarded };

// From whether CreateMutex gave a handle and the error it left. A mutex that
// exists (ERROR_ALREADY_EXISTS), or exists with rights that keep this copy
// out (ERROR_ACCESS_DENIED: another session's), is another copy's. Any other
// refusal lets the run go on unguarded rather than not at all.
MutexClaim MutexClaimOf(bool created, std::uint32_t error);

}  // namespace kavrel
