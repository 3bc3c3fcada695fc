#include <gtest/gtest.h>

#include <memory>

#include "conduit/kivBaseClasses.h"
#include "conduit/kivPalmComp.h"

namespace {

using kiv::EkivSingletonError;
using kiv::FindSingletonInstance;
using kiv::TkivPalmComponent;
using kiv::TkivSingletonComponent;

// A class whose name differs from TkivPalmComponent's only in letter case.
class ShoutingComponent : public TkivSingletonComponent {
public:
    static constexpr const char* StaticClassName = "TKIVPALMCOMPONENT";
    explicit ShoutingComponent(rtl::TComponent* owner) : TkivSingletonComponent(owner, StaticClassName) {}
};

class DerivedPalmComponent : public TkivPalmComponent {
public:
    static constexpr const char* StaticClassName = "TDerivedPalmComponent";
    explicit DerivedPalmComponent(rtl::TComponent* owner) : TkivPalmComponent(owner, StaticClassName) {}
};

// Every test starts as a freshly loaded library would: no list yet.
class Singleton : public testing::Test {
protected:
    Singleton() { kiv::FinalizeBaseClasses(); }
};

TEST_F(Singleton, LookupBeforeAnyConstructionFindsNothingAndCreatesNoList) {
    EXPECT_EQ(FindSingletonInstance<TkivPalmComponent>(), nullptr);
    EXPECT_FALSE(kiv::SingletonListExists());
    TkivPalmComponent first(nullptr);
    EXPECT_TRUE(kiv::SingletonListExists());
    EXPECT_EQ(FindSingletonInstance<TkivPalmComponent>(), &first);
}

TEST_F(Singleton, SecondInstanceIsRefusedAndTheFirstStaysFindable) {
    TkivPalmComponent first(nullptr);
    try {
        TkivPalmComponent second(nullptr);
        FAIL() << "a second instance was constructed";
    } catch (const EkivSingletonError& e) {
        EXPECT_STREQ(e.what(), "The class \"TkivPalmComponent\" has already been instantiated");
    }
    EXPECT_EQ(FindSingletonInstance<TkivPalmComponent>(), &first);
}

TEST_F(Singleton, AfterDestructionTheClassIsFreeAgain) {
    { TkivPalmComponent first(nullptr); }
    EXPECT_EQ(FindSingletonInstance<TkivPalmComponent>(), nullptr);
    TkivPalmComponent again(nullptr);
    EXPECT_EQ(FindSingletonInstance<TkivPalmComponent>(), &again);
}

TEST_F(Singleton, ClassNamesDifferingOnlyInCaseAreTheSameName) {
    TkivPalmComponent first(nullptr);
    EXPECT_THROW(ShoutingComponent shouting(nullptr), EkivSingletonError);
    EXPECT_EQ(FindSingletonInstance("tkivpalmcomponent"), &first);
}

TEST_F(Singleton, DesignStateInstancesAreNeitherTestedNorRegistered) {
    TkivPalmComponent live(nullptr);
    rtl::TComponent designer(nullptr);
    designer.SetDesigning(true);
    auto* designed = new TkivPalmComponent(&designer);  // owned by the designer
    EXPECT_TRUE(designed->Designing());
    EXPECT_EQ(FindSingletonInstance<TkivPalmComponent>(), &live);
}

TEST_F(Singleton, TheKeyIsTheMostDerivedClassNotTheHierarchy) {
    DerivedPalmComponent derived(nullptr);
    EXPECT_EQ(derived.ClassName(), "TDerivedPalmComponent");
    EXPECT_EQ(FindSingletonInstance<TkivPalmComponent>(), nullptr);
    TkivPalmComponent base(nullptr);
    EXPECT_EQ(FindSingletonInstance<TkivPalmComponent>(), &base);
    EXPECT_EQ(FindSingletonInstance<DerivedPalmComponent>(), &derived);
}

TEST_F(Singleton, OwnedComponentsAreDestroyedAndUnregisteredWithTheirOwner) {
    auto owner = std::make_unique<rtl::TComponent>(nullptr);
    auto* palm = new TkivPalmComponent(owner.get());
    EXPECT_EQ(palm->Owner(), owner.get());
    EXPECT_EQ(owner->ComponentCount(), 1);
    owner.reset();
    EXPECT_EQ(FindSingletonInstance<TkivPalmComponent>(), nullptr);
}

TEST_F(Singleton, ARefusedInstanceLeavesItsOwnerClean) {
    TkivPalmComponent first(nullptr);
    rtl::TComponent owner(nullptr);
    EXPECT_THROW(new TkivPalmComponent(&owner), EkivSingletonError);
    EXPECT_EQ(owner.ComponentCount(), 0);
}

TEST_F(Singleton, FinalizingDropsTheListWithoutTouchingInstances) {
    auto palm = std::make_unique<TkivPalmComponent>(nullptr);
    kiv::FinalizeBaseClasses();
    EXPECT_FALSE(kiv::SingletonListExists());
    EXPECT_EQ(FindSingletonInstance<TkivPalmComponent>(), nullptr);
    palm.reset();  // must not touch the list that is gone
}

}  // namespace
