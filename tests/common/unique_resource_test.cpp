#include "common/unique_resource.h"

#include <gtest/gtest.h>

#include <vector>

#include "common/scope_exit.h"

namespace {

// Numbered stand-ins for handles; -1 means none, as for file handles, so 0 is
// a real value that must be closed.
std::vector<int> closed;
struct CountingTraits {
    using Value = int;
    static int Empty() noexcept { return -1; }
    static void Close(int value) noexcept { closed.push_back(value); }
};

TEST(UniqueResource, ClosesEveryHeldValueOnceAndNeitherTheEmptyNorAReleasedOne) {
    using Owner = Common::UniqueResource<CountingTraits>;
    {
        Owner none, a(0);
        EXPECT_TRUE(a && !none);
        Owner b(std::move(a));
        a = std::move(b);
        Owner c(1);
        c = std::move(a);  // closes 1, takes 0
        c.Reset(2);
        *c.Put() = 3;
        EXPECT_EQ(c.Release(), 3);
        Owner d(4);
    }
    EXPECT_EQ(closed, (std::vector<int>{1, 0, 2, 4}));
}

TEST(ScopeExit, RunsOnceAtScopeEndUnlessReleased) {
    int runs = 0;
    { const Common::ScopeExit count([&] { ++runs; }); }
    {
        Common::ScopeExit count([&] { ++runs; });
        count.Release();
    }
    EXPECT_EQ(runs, 1);
}

}  // namespace
