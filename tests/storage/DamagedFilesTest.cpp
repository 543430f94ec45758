#include <gtest/gtest.h>

#include <limits>
#include <map>

#include "StorageTestSupport.h"
#include "StoredRecords.h"
#include "model/Competitors.h"
#include "model/Kvalor.h"
#include "model/StudyList.h"

using namespace kvalor;
using namespace storagetest;

class DamagedFilesTest : public StorageTest {};

// Damage fails the read in Russian, taking nothing: records claiming more objects than their
// small packed stream pays for, studies without a real date or result, bad packed data.
TEST_F(DamagedFilesTest, AreRefusedWithAMessageInWords) {
    enum File { Data, Studies, Users };
    const std::string damaged = "Ошибка чтения потока: данные повреждены или неполны";
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const Guid user = Guid::create(), test = Guid::create(), question = Guid::create();
    std::string brokenChecksum = zlibCompress(listStream({}));
    brokenChecksum.back() ^= 1;
    const struct {
        File file;
        std::string storage, packed, expected;
    } cases[] = {
        // 200,000 empty question records and 40,000 empty accounts, packed to a few KB.
        {Studies, "Studies",
         zlibCompress("\x03" +
                      listStream({RecordBytes().f64(1).u8(1).id(user).id(test).i32(200'000).data() +
                                  std::string(5'000'100, '\0')})),
         damaged},
        {Users, "Competitors",
         zlibCompress(RecordBytes().i32(40'000).data() + std::string(2'080'000, '\0')), damaged},
        {Studies, "Studies",
         zlibCompress(studiesStream({studyRecord(nan, user, test, question, 5)})), damaged},
        {Data, "Studies", zlibCompress(studiesStream({studyRecord(1, user, test, question, nan)})),
         damaged},
        {Data, "Studies", brokenChecksum,
         "Хранилище «Studies» файла данных повреждено (контрольная сумма не сходится)"},
        {Users, "Competitors", brokenChecksum,
         "Хранилище «Competitors» файла пользователей повреждено (контрольная сумма не сходится)"},
    };
    for (const auto& [file, storage, packed, expected] : cases) {
        SCOPED_TRACE(expected + " in " + storage);
        std::map<std::string, std::string> streams{{"Version", "\x03"}};
        for (const char* name : {"SimpleTests", "ComplexTests", "Competitors", "ComplexTasks"}) {
            streams[std::string(name) + "/Data"] = zlibCompress(listStream({}));
        }
        streams["Studies/Data"] = zlibCompress(studiesStream({}));
        streams[storage + "/Data"] = packed;
        const QString path = qpath("damaged.exd");
        writeCompoundFile(path.toStdString(), streams);

        TKvalor root;
        TCompetitors users;
        EXPECT_EQ(errorText([&] {
                      file == Data      ? root.LoadFromFile(path, true)
                      : file == Studies ? root.Studies().LoadFromFile(path)
                                        : users.LoadFromFile(path);
                  }),
                  expected);
        EXPECT_EQ(root.Studies().Count(), 0);
    }
}
