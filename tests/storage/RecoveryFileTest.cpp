#include <gtest/gtest.h>

#include <string>
#include <vector>

#include <QDir>
#include <QFile>

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
    // A run deleted from the journal goes from the file; the other stays.
    recovery.Forget(root.Studies().StudyAt(0));
    EXPECT_EQ(recordsIn(recovery.FileName()), std::vector<std::string>{second});
    recovery.Record(root.Studies().StudyAt(0));
    // The copies do not depend on the journal: its studies may be freed meanwhile.
    root.Studies().Clear();
    EXPECT_EQ(recordsIn(recovery.FileName()), (std::vector<std::string>{second, first}));
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

    const std::vector<std::string> damaged = {"not a compound file",
                                              whole.substr(0, whole.size() / 2)};
    // Each one keeps a name of its own; none replaces another.
    const auto setAsideName = [](std::size_t index) {
        return index == 0 ? std::string("KvalorData.recovery.damaged.exd")
                          : "KvalorData.recovery.damaged-" + std::to_string(index + 1) + ".exd";
    };
    for (std::size_t index = 0; index < damaged.size(); ++index) {
        const std::string& bytes = damaged[index];
        writeBytes(path("KvalorData.recovery.exd"), bytes);
        RecoveryFile recovery(qpath("KvalorData.exd"));
        EXPECT_THROW(recovery.Load(), KvalorError) << bytes.size() << " bytes";
        EXPECT_EQ(recovery.Count(), 0);
        EXPECT_EQ(fileBytes(path("KvalorData.recovery.exd")), bytes);

        EXPECT_EQ(recovery.SetAside(), qpath(setAsideName(index)));
        EXPECT_FALSE(QFile::exists(recovery.FileName()));
    }
    for (std::size_t index = 0; index < damaged.size(); ++index) {
        EXPECT_EQ(fileBytes(path(setAsideName(index))), damaged[index]);
    }
}
