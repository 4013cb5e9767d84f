// The server's snapshot store under concurrent overwrite and copy.

#include "server/SnapshotStore.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

namespace {

// Every field it sets says the same generation, so a torn copy shows.
irVariables generation(int g)
{
    irVariables vars;
    vars.simConnected = true;
    vars.sessionNum = g;
    vars.speed = static_cast<float>(g);
    vars.trackName = QString::number(g);
    for (int i = 0; i < g % 7; ++i) {
        irDriver d;
        d.carIdx = g;
        d.userName = QString::number(g);
        vars.drivers.append(d);
    }
    return vars;
}

bool consistent(const irVariables &v)
{
    const int g = v.sessionNum;
    if (v.speed != static_cast<float>(g) || v.trackName != QString::number(g) ||
        v.drivers.size() != g % 7)
        return false;
    for (const irDriver &d : v.drivers) {
        if (d.carIdx != g || d.userName != QString::number(g))
            return false;
    }
    return true;
}

TEST(SnapshotStore, CopiesAreWholeWhileTheRecordIsOverwritten)
{
    SnapshotStore store;
    store.set(generation(0));
    std::atomic<bool> done{false};
    std::atomic<int> torn{0};
    std::vector<std::thread> readers;
    for (int r = 0; r < 3; ++r) {
        readers.emplace_back([&] {
            int last = 0;
            while (!done.load()) {
                const irVariables copy = store.copy();
                if (!consistent(copy) || copy.sessionNum < last)
                    ++torn;
                last = copy.sessionNum;
            }
        });
    }
    for (int g = 1; g <= 20000; ++g)
        store.set(generation(g));
    done = true;
    for (std::thread &t : readers)
        t.join();
    EXPECT_EQ(torn.load(), 0);
    EXPECT_EQ(store.copy().sessionNum, 20000);
}

TEST(SnapshotStore, CopyIsPrivate)
{
    SnapshotStore store;
    store.set(generation(3));
    irVariables copy = store.copy();
    copy.drivers[0].userName = QStringLiteral("changed");
    copy.trackName = QStringLiteral("changed");
    EXPECT_TRUE(consistent(store.copy()));
}

} // namespace
