// The per-module lock that keeps the programs of one PC from mistaking each other's
// connections for a file's data.
#include <gtest/gtest.h>

#include <sys/stat.h>

#include <QDir>
#include <QTemporaryDir>
#include <QElapsedTimer>

#include "protocol/ModuleLock.h"

namespace zqb::test {
namespace {

using Attempt = ModuleLock::Attempt;
using Hold = ModuleLock::Hold;

class ModuleLocks : public ::testing::Test {
protected:
    ModuleLocks()
    {
        first.Aim(dir.path().toStdString(), "127.0.0.1", 13577);
        second.Aim(dir.path().toStdString(), "127.0.0.1", 13577);
    }
    QTemporaryDir dir;
    ModuleLock first;   // stands for one program
    ModuleLock second;  // and another: flock locks of two open files exclude each other
};

// What a second program gets while the first holds the module in each way.
TEST_F(ModuleLocks, SharersMeetOnlyAnExclusiveHolder)
{
    struct Row {
        Hold firstHolds;
        bool secondWantsExclusive;
        Attempt expected;
        bool seenExclusive;  // what the second's probe reports
    };
    const Row rows[] = {
        {Hold::None, false, Attempt::Taken, false},
        {Hold::None, true, Attempt::Taken, false},
        {Hold::Shared, false, Attempt::Taken, false},
        {Hold::Shared, true, Attempt::HeldElsewhere, false},
        {Hold::Exclusive, false, Attempt::HeldElsewhere, true},
        {Hold::Exclusive, true, Attempt::HeldElsewhere, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(static_cast<int>(row.firstHolds) * 10 + row.secondWantsExclusive);
        if (row.firstHolds == Hold::Shared) {
            ASSERT_EQ(first.TryShared(), Attempt::Taken);
        }
        if (row.firstHolds == Hold::Exclusive) {
            ASSERT_EQ(first.Exclusive(0), Attempt::Taken);
        }
        EXPECT_EQ(second.HeldExclusivelyElsewhere(), row.seenExclusive);
        EXPECT_EQ(second.Held(), Hold::None);
        const Attempt got = row.secondWantsExclusive ? second.Exclusive(0) : second.TryShared();
        EXPECT_EQ(got, row.expected);
        first.Release();
        second.Release();
    }
}

TEST_F(ModuleLocks, AnExclusiveRequestWaitsBoundedForTheExchangeInFlight)
{
    ASSERT_EQ(first.TryShared(), Attempt::Taken);
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(second.Exclusive(60), Attempt::HeldElsewhere);
    EXPECT_GE(clock.elapsed(), 60);
    EXPECT_LT(clock.elapsed(), 1000);
    first.Release();
    EXPECT_EQ(second.Exclusive(60), Attempt::Taken);
    // Its own exclusive hold stays when it asks for a share on the way.
    EXPECT_EQ(second.TryShared(), Attempt::Taken);
    EXPECT_EQ(second.Held(), Hold::Exclusive);
    EXPECT_EQ(first.TryShared(), Attempt::HeldElsewhere);
}

TEST_F(ModuleLocks, EachModuleAndPortHasAFileOfItsOwn)
{
    ModuleLock otherPort;
    otherPort.Aim(dir.path().toStdString(), "127.0.0.1", 13578);
    ASSERT_EQ(first.Exclusive(0), Attempt::Taken);
    EXPECT_EQ(otherPort.Exclusive(0), Attempt::Taken);
    EXPECT_EQ(ModuleLock::FileName("10.0.5.20", 502), "module-10.0.5.20-502.lock");
    EXPECT_EQ(ModuleLock::FileName("../x", 1), "module-..__-1.lock");
}

TEST(ModuleLockFolder, IsAPrivateFolderOfTheUser)
{
    QTemporaryDir home;
    const QByteArray runtime = qgetenv("XDG_RUNTIME_DIR");
    const QByteArray cache = qgetenv("XDG_CACHE_HOME");
    const QByteArray oldHome = qgetenv("HOME");
    struct Row {
        const char* runtime;
        const char* cache;
        QString expected;  // relative to the temporary folder
    };
    const Row rows[] = {
        {"rt", nullptr, QStringLiteral("rt/zqb")},
        {"missing", "c", QStringLiteral("c/zqb/locks")},
        {nullptr, nullptr, QStringLiteral("h/.cache/zqb/locks")},
    };
    QDir(home.path()).mkpath(QStringLiteral("rt"));
    QDir(home.path()).mkpath(QStringLiteral("h"));
    qputenv("HOME", (home.path() + QStringLiteral("/h")).toLocal8Bit());
    for (const Row& row : rows) {
        SCOPED_TRACE(row.expected.toStdString());
        if (row.runtime) qputenv("XDG_RUNTIME_DIR", (home.path() + QLatin1Char('/') + QLatin1String(row.runtime)).toLocal8Bit());
        else qunsetenv("XDG_RUNTIME_DIR");
        if (row.cache) qputenv("XDG_CACHE_HOME", (home.path() + QLatin1Char('/') + QLatin1String(row.cache)).toLocal8Bit());
        else qunsetenv("XDG_CACHE_HOME");
        std::string problem;
        const std::string folder = ModuleLock::DefaultDirectory(problem);
        EXPECT_EQ(QString::fromStdString(folder), home.path() + QLatin1Char('/') + row.expected) << problem;
        struct stat info {};
        ASSERT_EQ(::stat(folder.c_str(), &info), 0);
        EXPECT_EQ(info.st_mode & 0777, 0700u);
    }
    // A folder another user could write into is made private before it is used.
    ::chmod((home.path() + QStringLiteral("/rt/zqb")).toLocal8Bit().constData(), 0777);
    qputenv("XDG_RUNTIME_DIR", (home.path() + QStringLiteral("/rt")).toLocal8Bit());
    std::string problem;
    const std::string folder = ModuleLock::DefaultDirectory(problem);
    struct stat info {};
    ASSERT_EQ(::stat(folder.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    qputenv("XDG_RUNTIME_DIR", runtime);
    if (cache.isNull()) qunsetenv("XDG_CACHE_HOME"); else qputenv("XDG_CACHE_HOME", cache);
    qputenv("HOME", oldHome);
    if (runtime.isNull()) qunsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
}  // namespace zqb::test
