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

UpdateRunClaim ClaimUpdateRun() {
    UpdateRunClaim result;
    const AdministratorsNamespace space = OpenAdministratorsNamespace(kUpdateNamespaceAlias);
    const UpdateLockPlan plan = PlanUpdateLock(space.outcome, space.prefix);
    if (plan.action != LockAction::TakeMutex) {
        result.anotherCopyRunning = plan.action == LockAction::AnotherCopyRunning;
        if (!result.anotherCopyRunning) result.unguardedBecause = "the administrators' namespace was refused";
        result.error = space.error;
        return result;
    }
    UniqueHandle mutex(::CreateMutexA(nullptr, FALSE, plan.mutexName.c_str()));
    const DWORD error = ::GetLastError();
    const MutexClaim claim = MutexClaimOf(static_cast<bool>(mutex), error);
    if (claim == MutexClaim::Claimed) updateRunningMutex = std::move(mutex);
    result.anotherCopyRunning = claim == MutexClaim::AnotherCopyRunning;
    if (claim == MutexClaim::Unguarded) {
        result.unguardedBecause = "the mutex was refused";
        result.error = error;
    }
    return result;
}

}  // namespace kavrel
