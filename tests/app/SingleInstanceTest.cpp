#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstring>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

#include "app/SingleInstance.h"
#include "support/GuiTest.h"

namespace kvalor {
namespace {

// A name of its own for every test, so that tests never meet a running program or each other;
// the lock file the name leaves in the temporary folder goes with the test.
class SingleInstanceTest : public ::testing::Test {
protected:
    void SetUp() override {
        static int counter = 0;
        name = QStringLiteral("kvalor-test-%1-%2")
                   .arg(QCoreApplication::applicationPid())
                   .arg(++counter);
    }
    void TearDown() override { QFile::remove(QDir(QDir::tempPath()).filePath(name + ".lock")); }

    QString name;
};

// Lets events run until the count reaches the wanted value or two seconds have passed.
bool waitFor(const int& count, int wanted) {
    QDeadlineTimer deadline(2000);
    while (count < wanted && !deadline.hasExpired()) {
        processEvents();
    }
    return count >= wanted;
}

// What a copy that crashed leaves behind: a bound socket file that nobody listens on.
void leaveStaleSocket(const QString& name) {
    const QByteArray path = QFile::encodeName(QDir(QDir::tempPath()).filePath(name));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    ASSERT_LT(static_cast<std::size_t>(path.size()), sizeof(address.sun_path));
    std::memcpy(address.sun_path, path.constData(), static_cast<std::size_t>(path.size()));
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd);
    ASSERT_TRUE(QFile::exists(QFile::decodeName(path)));
}

TEST_F(SingleInstanceTest, ASecondStartWakesTheFirstAndEnds) {
    SingleInstance first(name);
    int requests = 0;
    QObject::connect(&first, &SingleInstance::activationRequested, [&requests] { ++requests; });
    ASSERT_TRUE(first.tryClaim());
    // Still starting: a later start finds nobody to wake and simply ends.
    {
        SingleInstance early(name);
        EXPECT_FALSE(early.tryClaim());
        EXPECT_FALSE(early.askFirstToActivate());
    }
    ASSERT_TRUE(first.listen());

    for (int start = 1; start <= 2; ++start) {
        SingleInstance second(name);
        EXPECT_FALSE(second.tryClaim());
        EXPECT_TRUE(second.askFirstToActivate());
        EXPECT_TRUE(waitFor(requests, start));
    }
    EXPECT_EQ(requests, 2);
}

TEST_F(SingleInstanceTest, AStartOnAnotherDisplayLearnsWhereTheFirstRuns) {
    SingleInstance first(name, ":1");
    ASSERT_TRUE(first.tryClaim());
    SingleInstance there(name, ":2"), here(name, ":1");
    EXPECT_FALSE(there.tryClaim() || here.tryClaim());
    EXPECT_EQ(there.OtherDisplay(), std::optional<QString>(":1"));
    EXPECT_EQ(here.OtherDisplay(), std::nullopt);
}

TEST_F(SingleInstanceTest, TheNameIsFreeAgainOnceTheFirstCopyHasEnded) {
    {
        SingleInstance first(name);
        ASSERT_TRUE(first.tryClaim());
        ASSERT_TRUE(first.listen());
    }
    SingleInstance next(name);
    EXPECT_TRUE(next.tryClaim());
    EXPECT_TRUE(next.listen());
}

TEST_F(SingleInstanceTest, ASocketLeftByACrashDoesNotBlockTheNextStart) {
    leaveStaleSocket(name);
    SingleInstance next(name);
    int requests = 0;
    QObject::connect(&next, &SingleInstance::activationRequested, [&requests] { ++requests; });
    ASSERT_TRUE(next.tryClaim());
    ASSERT_TRUE(next.listen());

    SingleInstance later(name);
    EXPECT_FALSE(later.tryClaim());
    EXPECT_TRUE(later.askFirstToActivate());
    EXPECT_TRUE(waitFor(requests, 1));
}

}  // namespace
}  // namespace kvalor
