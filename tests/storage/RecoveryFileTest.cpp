#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include <QDir>
#include <QFile>
#include <QRegularExpression>

#include "SampleData.h"
#include "StorageTestSupport.h"
#include "storage/RecoveryFile.h"
#include "util/ByteStream.h"
#include "util/Error.h"

using namespace kvalor;
using namespace storagetest;

namespace {

using RecoveryFileTest = StorageTest;

std::string recordOf(const TStudy& study) {
    ByteStream bytes;
    study.SaveToStream(bytes);
    return bytes.data();
}

// The stored records of a Studies file, in file order.
std::vector<std::string> recordsIn(const QString& file) {
    TStudyList list;
    list.LoadFromFile(file);
    std::vector<std::string> records;
    for (int i = 0; i < list.Count(); ++i) {
        records.push_back(recordOf(list.StudyAt(i)));
    }
    return records;
}

}  // namespace

TEST_F(RecoveryFileTest, KeepsEveryRunRecordedUntilDiscarded) {
    TKvalor root;
    fillSample(root);
    const std::string first = recordOf(root.Studies().StudyAt(0));
    const std::string second = recordOf(root.Studies().StudyAt(1));

    RecoveryFile recovery(qpath("KvalorData.exd"));
    EXPECT_EQ(recovery.FileName(), qpath("KvalorData.recovery.exd"));
    EXPECT_FALSE(recovery.Load());
    recovery.Record(root.Studies().StudyAt(0));
    EXPECT_EQ(recordsIn(recovery.FileName()), std::vector<std::string>{first});
    recovery.Record(root.Studies().StudyAt(1));
    // The copies do not depend on the journal: its studies may be deleted meanwhile.
    root.Studies().Clear();
    EXPECT_EQ(recordsIn(recovery.FileName()), (std::vector<std::string>{first, second}));
    EXPECT_EQ(recovery.Count(), 2);

    // A run that ended without saving left it behind: the next one finds both runs.
    RecoveryFile next(qpath("KvalorData.exd"));
    ASSERT_TRUE(next.Load());
    EXPECT_EQ(next.Count(), 2);
    next.Discard();
    EXPECT_EQ(next.Count(), 0);
    EXPECT_FALSE(QFile::exists(next.FileName()));
    EXPECT_FALSE(next.Load());
}

TEST_F(RecoveryFileTest, AnUnreadableFileIsKeptAsideUnderAFreeName) {
    TKvalor root;
    fillSample(root);
    RecoveryFile written(qpath("KvalorData.exd"));
    written.Record(root.Studies().StudyAt(0));
    const std::string whole = fileBytes(path("KvalorData.recovery.exd"));

    const std::vector<std::string> damaged = {
        "not a compound file",
        whole.substr(0, whole.size() / 2),
        std::string(),
    };
    std::vector<QString> setAside;
    for (const std::string& bytes : damaged) {
        writeBytes(path("KvalorData.recovery.exd"), bytes);
        RecoveryFile recovery(qpath("KvalorData.exd"));
        EXPECT_THROW(recovery.Load(), KvalorError) << bytes.size() << " bytes";
        EXPECT_EQ(recovery.Count(), 0);
        EXPECT_EQ(fileBytes(path("KvalorData.recovery.exd")), bytes);

        const QString name = recovery.SetAside();
        EXPECT_TRUE(QRegularExpression(R"(/KvalorData\.recovery\.damaged-\d{8}-\d{6}(-\d+)?\.exd$)")
                        .match(name)
                        .hasMatch())
            << name.toStdString();
        EXPECT_EQ(fileBytes(name.toStdString()), bytes);
        EXPECT_FALSE(QFile::exists(recovery.FileName()));
        setAside.push_back(name);
    }
    // Set aside within the same second, and none replaced another.
    std::sort(setAside.begin(), setAside.end());
    EXPECT_EQ(std::unique(setAside.begin(), setAside.end()), setAside.end());
}
