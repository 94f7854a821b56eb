// The owner of COM interface references, against an object that counts its
// references and frees itself at zero, as a COM object does: a reference
// released twice is a use after free that AddressSanitizer reports.
#include "platform/com_ptr.h"

#include <gtest/gtest.h>

#include <utility>

namespace kavrel {
namespace {

struct Counted {
    explicit Counted(int& freed) : freed_(freed) {}
    unsigned long AddRef() { return ++references; }
    unsigned long Release() {
        unsigned long left = --references;
        if (left == 0) {
            ++freed_;
            delete this;
        }
        return left;
    }
    unsigned long references = 1;

private:
    int& freed_;
};

// A reference handed out by a call, as CoCreateInstance hands one out.
void HandOut(Counted* object, Counted** out) { *out = object; }

TEST(ComPtr, ReleasesItsReferenceWhenItGoes) {
    int freed = 0;
    {
        ComPtr<Counted> owner(new Counted(freed));
        EXPECT_TRUE(owner);
        EXPECT_EQ(owner->references, 1u);
    }
    EXPECT_EQ(freed, 1);
    ComPtr<Counted> empty;
    EXPECT_FALSE(empty);
    EXPECT_EQ(empty.get(), nullptr);
}

TEST(ComPtr, ReleasesOnlyItsOwnReference) {
    int freed = 0;
    auto* object = new Counted(freed);
    object->AddRef();
    {
        ComPtr<Counted> owner(object);
    }
    EXPECT_EQ(freed, 0);
    EXPECT_EQ(object->references, 1u);
    object->Release();
    EXPECT_EQ(freed, 1);
}

TEST(ComPtr, MovesTheReferenceWithoutReleasingIt) {
    int freed = 0;
    ComPtr<Counted> first(new Counted(freed));
    Counted* object = first.get();

    ComPtr<Counted> second(std::move(first));
    EXPECT_FALSE(first);
    EXPECT_EQ(second.get(), object);
    EXPECT_EQ(object->references, 1u);

    ComPtr<Counted> third;
    third = std::move(second);
    EXPECT_FALSE(second);
    EXPECT_EQ(third.get(), object);
    EXPECT_EQ(object->references, 1u);
    EXPECT_EQ(freed, 0);

    // Moving onto itself keeps the reference.
    ComPtr<Counted>& alias = third;
    third = std::move(alias);
    EXPECT_EQ(third.get(), object);
    EXPECT_EQ(freed, 0);

    third.reset();
    EXPECT_EQ(freed, 1);
}

TEST(ComPtr, MoveAssignmentReleasesWhatWasHeldBefore) {
    int freed = 0;
    ComPtr<Counted> kept(new Counted(freed));
    ComPtr<Counted> replaced(new Counted(freed));
    replaced = std::move(kept);
    EXPECT_EQ(freed, 1);
    replaced.reset();
    EXPECT_EQ(freed, 2);
}

TEST(ComPtr, ReleaseGivesTheReferenceUp) {
    int freed = 0;
    ComPtr<Counted> owner(new Counted(freed));
    Counted* object = owner.release();
    EXPECT_FALSE(owner);
    owner.reset();
    EXPECT_EQ(freed, 0);
    object->Release();
    EXPECT_EQ(freed, 1);
}

TEST(ComPtr, PutReleasesWhatWasHeldAndTakesWhatTheCallWrites) {
    int freed = 0;
    ComPtr<Counted> owner;
    HandOut(new Counted(freed), owner.put());
    ASSERT_TRUE(owner);
    EXPECT_EQ(freed, 0);

    // Filled again, as a call in a loop would: the first object is released.
    auto* second = new Counted(freed);
    HandOut(second, owner.put());
    EXPECT_EQ(freed, 1);
    EXPECT_EQ(owner.get(), second);

    // A call that fails writes null; the owner is empty afterwards, not stale.
    HandOut(nullptr, owner.put());
    EXPECT_EQ(freed, 2);
    EXPECT_FALSE(owner);

    void** untyped = owner.putVoid();
    *untyped = new Counted(freed);
    EXPECT_TRUE(owner);
    owner.reset();
    EXPECT_EQ(freed, 3);
}

}  // namespace
}  // namespace kavrel
