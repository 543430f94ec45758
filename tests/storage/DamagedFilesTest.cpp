#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <map>
#include <string>

#include "StorageTestSupport.h"
#include "StoredRecords.h"
#include "model/Competitors.h"
#include "model/Kvalor.h"
#include "model/StudyList.h"

using namespace kvalor;
using namespace storagetest;

namespace {

const std::string kDamaged = "Ошибка чтения потока: данные повреждены или неполны";
const double kNaN = std::numeric_limits<double>::quiet_NaN();
const double kInf = std::numeric_limits<double>::infinity();

enum class File { Data, Studies, Users };

// One stream of a file made by hand, the others holding empty lists.
struct DamagedFile {
    const char* what;
    File file;
    std::string storage;
    std::string data;  // unpacked, or already packed when packed is set
    std::string expected;
    bool packed = false;
};

std::string withBrokenChecksum(const std::string& data) {
    std::string packed = zlibCompress(data);
    packed.back() = static_cast<char>(packed.back() ^ 1);
    return packed;
}

std::string zeros(std::size_t count) {
    return std::string(count, '\0');
}

}  // namespace

class DamagedFilesTest : public StorageTest {};

// Damage of any kind fails the read with a Russian message: records claiming far more objects
// than their small packed stream could pay for, studies without a real date or result, and
// packed data that does not unpack, named by its storage.
TEST_F(DamagedFilesTest, AreRefusedWithAMessageInWords) {
    const Guid user = Guid::create(), test = Guid::create(), question = Guid::create();
    const std::string empty = listStream({});
    const std::string emptyStudies = studiesStream({});
    const DamagedFile cases[] = {
        // A study of 200,000 empty question records: 5 MB that pack to a few KB.
        {"question records", File::Studies, "Studies",
         emptyStudies.substr(0, 1) +
             listStream({RecordBytes().f64(1.0).u8(1).id(user).id(test).i32(200'000).data() +
                         zeros(5'000'100)}),
         kDamaged},
        // 40,000 empty accounts, each with its ten fields in memory.
        {"accounts", File::Users, "Competitors",
         RecordBytes().i32(40'000).data() + zeros(2'080'000), kDamaged},
        {"NaN date", File::Studies, "Studies",
         studiesStream({studyRecord(kNaN, user, test, question, 50.0)}), kDamaged},
        {"infinite date", File::Data, "Studies",
         studiesStream({studyRecord(kInf, user, test, question, 50.0)}), kDamaged},
        {"NaN percent", File::Studies, "Studies",
         studiesStream({studyRecord(2.0, user, test, question, kNaN)}), kDamaged},
        {"checksum", File::Data, "Studies", withBrokenChecksum(emptyStudies),
         "Хранилище «Studies» файла данных повреждено (контрольная сумма не сходится)", true},
        {"checksum", File::Studies, "Studies", withBrokenChecksum(emptyStudies),
         "Хранилище «Studies» файла результатов повреждено (контрольная сумма не сходится)", true},
        {"checksum", File::Users, "Competitors", withBrokenChecksum(empty),
         "Хранилище «Competitors» файла пользователей повреждено (контрольная сумма не сходится)",
         true},
    };
    for (const DamagedFile& damaged : cases) {
        SCOPED_TRACE(damaged.what);
        std::map<std::string, std::string> streams;
        if (damaged.file == File::Data) {
            for (const char* storage :
                 {"SimpleTests", "ComplexTests", "Competitors", "ComplexTasks"}) {
                streams[std::string(storage) + "/Data"] = zlibCompress(empty);
            }
            streams["Studies/Data"] = zlibCompress(emptyStudies);
        }
        streams["Version"] = "\x03";
        streams[damaged.storage + "/Data"] =
            damaged.packed ? damaged.data : zlibCompress(damaged.data);
        const QString file = qpath("damaged.exd");
        writeCompoundFile(file.toStdString(), streams);

        TKvalor root;
        TStudyList studies;
        TCompetitors users;
        const auto error = errorText([&] {
            if (damaged.file == File::Data) {
                root.LoadFromFile(file, true);
            } else if (damaged.file == File::Studies) {
                studies.LoadFromFile(file);
            } else {
                users.LoadFromFile(file);
            }
        });
        EXPECT_EQ(error, damaged.expected);
        EXPECT_EQ(studies.Count() + root.Studies().Count(), 0);
    }
}
