#include "app/single_instance_rules.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/private_namespace_rules.h"

namespace kavrel {
namespace {

TEST(UpdateLock, TheNameFollowsWhatBecameOfTheAdministratorsNamespace) {
    struct Case {
        NamespaceOutcome outcome;
        const char* prefix;
        LockAction action;
        std::string mutexName;
    };
    const Case cases[] = {
        // Only administrators can create or open this name.
        {NamespaceOutcome::Made, "KavrelUpdate\\", LockAction::TakeMutex, "KavrelUpdate\\KavrelUpdateRunning"},
        // No namespace at all on this system (Wine): as before, the global name.
        {NamespaceOutcome::FunctionsMissing, "", LockAction::TakeMutex, "Global\\KavrelUpdateRunning"},
        {NamespaceOutcome::BoundaryFailed, "", LockAction::TakeMutex, "Global\\KavrelUpdateRunning"},
        // Another copy holds or closes it: never a second lock under the global name.
        {NamespaceOutcome::ExistsButUnopened, "", LockAction::AnotherCopyRunning, ""},
        // A token without the Administrators group: the rights check ends the run.
        {NamespaceOutcome::Refused, "", LockAction::GoOnUnguarded, ""},
    };
    for (const Case& c : cases) {
        const UpdateLockPlan plan = PlanUpdateLock(c.outcome, c.prefix);
        EXPECT_EQ(plan.action, c.action) << static_cast<int>(c.outcome);
        EXPECT_EQ(plan.mutexName, c.mutexName) << static_cast<int>(c.outcome);
    }
}

TEST(UpdateLock, AMutexThatExistsOrKeepsThisCopyOutIsAnotherCopysAndOtherRefusalsGoOn) {
    struct Case {
        bool created;
        std::uint32_t error;
        MutexClaim claim;
    };
    const Case cases[] = {
        {true, 0, MutexClaim::Claimed},
        {true, 183, MutexClaim::AnotherCopyRunning},  // ERROR_ALREADY_EXISTS
        {false, 5, MutexClaim::AnotherCopyRunning},   // ERROR_ACCESS_DENIED: another session's
        {false, 6, MutexClaim::Unguarded},            // ERROR_INVALID_HANDLE: a name taken by another kind of object
        {false, 8, MutexClaim::Unguarded},            // ERROR_NOT_ENOUGH_MEMORY
    };
    for (const Case& c : cases)
        EXPECT_EQ(MutexClaimOf(c.created, c.error), c.claim) << c.created << " " << c.error;
}

TEST(UpdateLock, ANamespaceThatExistsButDoesNotOpenIsTriedAgainForAboutASecond) {
    EXPECT_GE(kNamespaceTries * kNamespacePauseMs, 900u);
    EXPECT_LE(kNamespaceTries * kNamespacePauseMs, 1500u);
    struct Case {
        bool created;
        std::uint32_t createError;
        bool opened;
        int triesMade;
        NamespaceStep step;
    };
    const Case cases[] = {
        {true, 0, false, 1, NamespaceStep::Made},
        {false, 183, true, 1, NamespaceStep::Made},
        {false, 183, true, kNamespaceTries, NamespaceStep::Made},
        {false, 183, false, 1, NamespaceStep::TryAgain},
        {false, 183, false, kNamespaceTries - 1, NamespaceStep::TryAgain},
        {false, 183, false, kNamespaceTries, NamespaceStep::ExistsButUnopened},
        {false, 5, false, 1, NamespaceStep::Refused},  // ERROR_ACCESS_DENIED: not an administrator
        {false, 87, false, 1, NamespaceStep::Refused},
    };
    for (const Case& c : cases)
        EXPECT_EQ(NamespaceStepAfter(c.created, c.createError, c.opened, c.triesMade), c.step)
            << c.created << " " << c.createError << " " << c.opened << " " << c.triesMade;
    EXPECT_TRUE(OpensExistingNamespace(183));
    EXPECT_FALSE(OpensExistingNamespace(5));
    EXPECT_FALSE(OpensExistingNamespace(0));
}

}  // namespace
}  // namespace kavrel
