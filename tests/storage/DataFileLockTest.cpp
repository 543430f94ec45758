#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

#include <QDir>
#include <QFile>

#include "StorageTestSupport.h"
#include "storage/CompoundFile.h"
#include "storage/DataFileLock.h"

using namespace kvalor;
using namespace storagetest;

namespace {

class DataFileLockTest : public StorageTest {
protected:
    void SetUp() override {
        StorageTest::SetUp();
        // Open to every user, as the shared folder of a computer room is.
        ASSERT_EQ(::chmod(folder().c_str(), 0777), 0);
    }

    QString inUse(const QString& file) const {
        return QStringLiteral(
                   "Файл данных %1 уже используется другой запущенной программой "
                   "(возможно, другим пользователем этого компьютера).\nДождитесь "
                   "завершения её работы и повторите попытку")
            .arg(file);
    }

    // What taking the lock in another process gives: "" when it got it, else the message. As
    // `nobody` when unprivileged, that is another desktop user.
    static std::string lockInOtherProcess(const QString& file, bool unprivileged) {
        return messageInChildProcess([&] {
            if (unprivileged && ::geteuid() == 0 &&
                (::setgid(65534) != 0 || ::setuid(65534) != 0)) {
                throw KvalorError("no other user");
            }
            const DataFileLock lock(file);
        });
    }
};

}  // namespace

TEST_F(DataFileLockTest, OneHolderAtATimeAcrossProcessesAndUsers) {
    const QString file = qpath("KvalorData.exd");
    {
        const DataFileLock lock(file);
        EXPECT_EQ(lock.LockFileName(), qpath("KvalorData.exd.lock"));
        EXPECT_TRUE(lock.Held());
        EXPECT_EQ(lockInOtherProcess(file, false), inUse(file).toStdString());
        // Another user may not write the lock file, and still finds it held.
        EXPECT_EQ(lockInOtherProcess(file, true), inUse(file).toStdString());
        // A lock belongs to its open, so a second one in the same process is refused too.
        EXPECT_THROW(DataFileLock{file}, KvalorError);
    }
    EXPECT_EQ(lockInOtherProcess(file, true), "");
    EXPECT_EQ(lockInOtherProcess(file, false), "");

    // A holder that is killed holds nothing afterwards.
    // Never freed: the kill ends the process holding it.
    ProcessUntilKilled holder([&file] { (void)new DataFileLock(file); });
    EXPECT_EQ(lockInOtherProcess(file, false), inUse(file).toStdString());
    holder.kill();
    EXPECT_NO_THROW(DataFileLock{file});

    // Where no lock file can be made, nothing can be written, and there is nothing to hold.
    EXPECT_FALSE(DataFileLock(qpath("missing/KvalorData.exd")).Held());
}

TEST_F(DataFileLockTest, EveryNameOfADataFileLeadsToOneLock) {
    writeBytes(path("KvalorData.exd"), "data");
    ASSERT_TRUE(QFile::link(qpath("KvalorData.exd"), qpath("Link.exd")));
    ASSERT_TRUE(QFile::link(folder().c_str(), qpath("linked")));
    // A data file not written yet, in a folder reached through a link, too.
    for (const char* name : {"Link.exd", "linked/KvalorData.exd", "linked/../KvalorData.exd"}) {
        EXPECT_EQ(DataFileLock::LockFileNameFor(qpath(name)), qpath("KvalorData.exd.lock")) << name;
    }
    EXPECT_EQ(DataFileLock::LockFileNameFor(qpath("linked/New.exd")), qpath("New.exd.lock"));
    const DataFileLock lock(qpath("KvalorData.exd"));
    EXPECT_THROW(DataFileLock{qpath("Link.exd")}, KvalorError);
}

TEST_F(DataFileLockTest, TakingTheLockClearsOnlyWhatKilledSavesLeft) {
    const QString file = qpath("KvalorData.exd");
    writeBytes(path(".KvalorData.exd.5f3a.tmp"), "abandoned");
    writeBytes(path(".Studies.exd.77.tmp"), "another file's");
    writeBytes(path("KvalorData.exd.tmp"), "not ours");
    // A save under way holds its temporary file: it stays, and the save completes.
    CompoundFileWriter running(file);
    running.root().writeStream("Version", "\x03\x01\x01");

    const DataFileLock lock(file);
    QStringList left = QDir(folder().c_str()).entryList(QDir::Files | QDir::Hidden);
    left.removeAll("KvalorData.exd.lock");
    ASSERT_EQ(left.size(), 3) << left.join(' ').toStdString();
    EXPECT_TRUE(left.contains(".Studies.exd.77.tmp"));
    EXPECT_TRUE(left.contains("KvalorData.exd.tmp"));
    EXPECT_FALSE(left.contains(".KvalorData.exd.5f3a.tmp"));
    running.commit();
    EXPECT_EQ(fileBytes(path("KvalorData.exd")).substr(0, 4), "\xD0\xCF\x11\xE0");
}
