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

bool ClaimUpdateRun() {
    const AdministratorsNamespace space = OpenAdministratorsNamespace(kUpdateNamespaceAlias);
    const UpdateLockPlan plan = PlanUpdateLock(space.outcome, space.prefix);
    if (plan.action != LockAction::TakeMutex) return plan.action == LockAction::GoOnUnguarded;
    UniqueHandle mutex(::CreateMutexA(nullptr, FALSE, plan.mutexName.c_str()));
    const MutexClaim claim = MutexClaimOf(static_cast<bool>(mutex), ::GetLastError());
    if (claim == MutexClaim::Claimed) updateRunningMutex = std::move(mutex);
    return claim != MutexClaim::AnotherCopyRunning;
}

}  // namespace kavrel
