#include "app/single_instance.h"

#include <windows.h>

#include <utility>

#include "app/single_instance_rules.h"
#include "platform/private_namespace.h"
#include "platform/unique_handle.h"

namespace kavrel {

namespace {
UniqueHandle updateRunningMutex;
}  // namespace

std::optional<Failure> ClaimUpdateRun() {
    const AdministratorsNamespace space = OpenAdministratorsNamespace(kUpdateNamespaceAlias);
    const UpdateLockPlan plan = PlanUpdateLock(space.outcome, space.prefix);
    bool anotherCopy = plan.action == LockAction::AnotherCopyRunning;
    // The record of the call that refused the namespace, made there; the
    // installer's own word where none was kept, never a silent success.
    Failure unguarded = space.failure.value_or(Refusal("the administrators' namespace was refused", 0, {}));
    unguarded.what += "; the run goes on without it";
    if (plan.action == LockAction::TakeMutex) {
        UniqueHandle mutex(::CreateMutexA(nullptr, FALSE, plan.mutexName.c_str()));
        const DWORD error = ::GetLastError();
        const MutexClaim claim = MutexClaimOf(static_cast<bool>(mutex), error);
        if (claim == MutexClaim::Claimed) {
            updateRunningMutex = std::move(mutex);
            return std::nullopt;
        }
        anotherCopy = claim == MutexClaim::AnotherCopyRunning;
        unguarded = WindowsFailure("the mutex was refused; the run goes on without it", error, {});
    }
    // Another copy is the installer's finding, not a failure that Windows reported.
    if (anotherCopy)
        return Finding(FailureCause::AnotherCopyRunning, "one-installer lock", "another copy of the installer runs");
    unguarded.step = "one-installer lock";
    return unguarded;
}

}  // namespace kavrel
