#include "app/single_instance_rules.h"

#include "base/windows_codes.h"

namespace kavrel {

using win32::kAccessDenied;
using win32::kAlreadyExists;

UpdateLockPlan PlanUpdateLock(NamespaceOutcome outcome, std::string_view namespacePrefix) {
    switch (outcome) {
    case NamespaceOutcome::Made:
        return {LockAction::TakeMutex, std::string(namespacePrefix) + kUpdateRunningMutexBaseName};
    case NamespaceOutcome::FunctionsMissing:
    case NamespaceOutcome::BoundaryFailed:
        return {LockAction::TakeMutex, kUpdateRunningMutexName};
    case NamespaceOutcome::ExistsButUnopened:
        return {LockAction::AnotherCopyRunning, {}};
    case NamespaceOutcome::Refused:
        break;
    }
    return {LockAction::GoOnUnguarded, {}};
}

MutexClaim MutexClaimOf(bool created, std::uint32_t error) {
    if (!created) return error == kAccessDenied ? MutexClaim::AnotherCopyRunning : MutexClaim::Unguarded;
    return error == kAlreadyExists ? MutexClaim::AnotherCopyRunning : MutexClaim::Claimed;
}

}  // namespace kavrel
