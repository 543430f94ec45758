#include <gtest/gtest.h>

#include <map>
#include <string>

#include "SampleData.h"
#include "StorageTestSupport.h"
#include "StoredRecords.h"
#include "cipher/KVTEACrypt.h"
#include "storage/CompoundFile.h"
#include "storage/DataStreams.h"
#include "storage/Packing.h"

using namespace kvalor;
using namespace storagetest;

namespace {

const char kBusySaving[] = "Запись в файл.\nВыполнение невозможно";
const char kBusyLoading[] = "Чтение из файла.\nВыполнение невозможно";
const char kDamaged[] = "Ошибка чтения потока: данные повреждены или неполны";

// A results file made by hand: the study list stream packed as the version asks (no
// "Version" stream at all for version 0).
void writeResultsFile(const std::string& path, int version, const std::string& studies) {
    std::map<std::string, std::string> streams;
    std::string data = studies;
    if (version >= 2) {
        data = zlibCompress(data);
    }
    if (version == 2) {
        TKVTEAEncrypt().encipher(data);
    }
    streams["Studies/Data"] = data;
    if (version > 0) {
        streams["Version"] = std::string(1, static_cast<char>(version));
    }
    writeCompoundFile(path, streams);
}

const TStudy* findStudy(const TStudyList& list, double date) {
    for (int i = 0; i < list.Count(); ++i) {
        if (list.StudyAt(i).Date() == date) {
            return &list.StudyAt(i);
        }
    }
    return nullptr;
}

class StudiesFileTest : public StorageTest {};

}  // namespace

TEST_F(StudiesFileTest, WrittenListIsReadBackWhole) {
    TKvalor root;
    fillSample(root);
    const std::string expected = describe(root);
    const QString file = qpath("Studies.exd");
    root.Studies().SaveToFile(file);
    EXPECT_FALSE(root.Studies().Writing());
    {
        const CompoundFileReader reader(file);
        EXPECT_EQ(reader.root().stream("Version").readAll(), "\x03");
        EXPECT_EQ(reader.root().storage("Studies").stream("Data").readAll().substr(0, 2),
                  "\x78\xDA");
        EXPECT_FALSE(reader.root().findStorage("SimpleTests").has_value());
    }

    // Read into the same data without studies, then linked by the import.
    root.Studies().Clear();
    root.ImportStudies({file});
    EXPECT_EQ(describe(root), expected);
    EXPECT_FALSE(root.Studies().Reading());
    // The same file again merges into the studies it already gave.
    root.ImportStudies({file});
    EXPECT_EQ(describe(root), expected);
}

// The end of a run packs the journal once and writes those bytes into both files; each file
// must then read back as a save that packs on its own would.
TEST_F(StudiesFileTest, OnePackedJournalGoesIntoTheDataFileAndTheStudiesFile) {
    TKvalor root;
    fillSample(root);
    const std::string expected = describe(root);
    const PackedData packed = root.PackStudies();
    const QString dataFile = qpath("KvalorData.exd");
    const QString studiesFile = qpath("Studies.exd");
    root.SaveToFile(dataFile, &packed);
    root.Studies().SaveToFile(studiesFile, &packed);
    root.SaveToFile(qpath("Alone.exd"));

    ByteStream journal;
    root.Studies().SaveToStream(journal);
    EXPECT_EQ(packed.stream->UnpackedSize(), journal.size());
    for (const QString& file : {dataFile, studiesFile, qpath("Alone.exd")}) {
        const CompoundFileReader reader(file);
        ByteStream stored(reader.root().storage("Studies").stream("Data").readAll());
        if (file != qpath("Alone.exd")) {
            EXPECT_EQ(stored.data(), packed.stream->Bytes()) << file.toStdString();
        }
        UnpackStream(stored, 3);
        EXPECT_EQ(stored.data(), journal.data()) << file.toStdString();
    }

    TKvalor loaded;
    loaded.LoadFromFile(dataFile, true);
    EXPECT_EQ(describe(loaded), expected);
    loaded.Studies().Clear();
    loaded.ImportStudies({studiesFile});
    EXPECT_EQ(describe(loaded), expected);
}

TEST_F(StudiesFileTest, ImportMergesResultsFilesAndDataFiles) {
    TKvalor root;
    const Sample s = fillSample(root);
    ASSERT_EQ(root.Studies().Count(), 2);
    const Guid stranger = Guid::create();

    // A results file of another installation, without a "Version" stream (read as unpacked),
    // and an enciphered one of version 2.
    const std::string first = path("first.exd");
    writeResultsFile(
        first, 0,
        studiesStream({studyRecord(1.5, s.ivanov->Id(), s.test->Id(), s.question->Id(), 10.0),
                       studyRecord(2.5, s.petrova->Id(), s.second->Id(), Guid(), 20.0)}));
    const std::string second = path("second.exd");
    writeResultsFile(second, 2,
                     studiesStream({studyRecord(2.5, s.petrova->Id(), s.second->Id(), Guid(), 77.0),
                                    studyRecord(3.5, stranger, s.test->Id(), Guid(), 30.0),
                                    studyRecord(4.5, s.ivanov->Id(), stranger, Guid(), 40.0),
                                    studyRecord(5.5, stranger, stranger, Guid(), 50.0)}));
    const StudiesImportReport report =
        root.ImportStudies({QString::fromStdString(first), QString::fromStdString(second)});

    // Studies of an account or a test that this data lacks are left out and counted: the
    // next load would drop them without a word.
    EXPECT_EQ(report.merged, 3);
    EXPECT_EQ(report.leftOut, 3);
    EXPECT_EQ(report.withoutAccount, 2);
    EXPECT_EQ(report.withoutTest, 2);
    EXPECT_EQ(StudiesImportText(report).toStdString(),
              "Импортировано результатов тестов: 3.\nПропущено результатов: 3 — их пользователей "
              "или тестов нет в этой базе данных (нет пользователя: 2, нет теста: 2).");
    EXPECT_EQ(StudiesImportText(StudiesImportReport{}).toStdString(),
              "Импортировано результатов тестов: 0.");
    ASSERT_EQ(root.Studies().Count(), 4);
    for (const double date : {3.5, 4.5, 5.5}) {
        EXPECT_EQ(findStudy(root.Studies(), date), nullptr) << date;
    }
    const TStudy* merged = findStudy(root.Studies(), 2.5);
    ASSERT_NE(merged, nullptr);
    EXPECT_EQ(merged->Percent(), 77.0);  // the later file's result for the same run
    EXPECT_EQ(merged->User(), s.petrova);
    EXPECT_EQ(merged->Test(), s.second);
    const TStudy* answered = findStudy(root.Studies(), 1.5);
    ASSERT_NE(answered, nullptr);
    EXPECT_EQ(answered->User(), s.ivanov);
    EXPECT_EQ(answered->Questions().Items(0).Question, s.question);
    EXPECT_EQ(root.State(), 0);

    // A data file keeps its studies the same way and serves as a results file.
    const std::string data = path("KvalorData.exd");
    root.SaveToFile(QString::fromStdString(data));
    TKvalor other;
    other.LoadFromFile(QString::fromStdString(data), true);
    ASSERT_EQ(other.Studies().Count(), 4);
    other.Studies().Clear();
    EXPECT_EQ(other.ImportStudies({QString::fromStdString(data)}).merged, 4);
    EXPECT_EQ(other.Studies().Count(), 4);
}

TEST_F(StudiesFileTest, RefusalsAndContainerErrors) {
    TKvalor root;
    fillSample(root);
    TStudyList& list = root.Studies();
    const QString file = qpath("Studies.exd");
    list.SaveToFile(file);
    const std::string before = fileBytes(file.toStdString());

    // A file operation of the list while another one runs is refused; the running one keeps
    // its flag.
    for (const bool reading : {true, false}) {
        SCOPED_TRACE(reading);
        list.SetReading(reading);
        list.SetWriting(!reading);
        EXPECT_EQ(errorText([&] { list.SaveToFile(qpath("other.exd")); }), kBusySaving);
        EXPECT_EQ(errorText([&] { list.LoadFromFile(file); }), kBusyLoading);
        EXPECT_EQ(errorText([&] { list.LoadFromFile(qpath("none.exd")); }),
                  "Файл " + path("none.exd") + " не найден");
        EXPECT_EQ(list.Reading(), reading);
        EXPECT_EQ(list.Writing(), !reading);
    }
    list.SetReading(false);
    list.SetWriting(false);
    EXPECT_FALSE(QFileInfo::exists(qpath("other.exd")));
    EXPECT_EQ(list.Count(), 2);

    // The container's failures read "<operation> <code>"; the list stays as it was.
    writeBytes(path("text.exd"), "plain text, no compound file");
    EXPECT_EQ(errorText([&] { list.LoadFromFile(qpath("text.exd")); }), "Ошибка чтения 800300FB");
    writeCompoundFile(path("no-studies.exd"), {{"Version", "\x03"}});
    EXPECT_EQ(errorText([&] { list.LoadFromFile(qpath("no-studies.exd")); }),
              "Ошибка чтения 80030002");
    writeCompoundFile(path("no-data.exd"), {{"Version", "\x03"}, {"Studies/", ""}});
    EXPECT_EQ(errorText([&] { list.LoadFromFile(qpath("no-data.exd")); }),
              "Ошибка чтения 80030002");
    EXPECT_EQ(errorText([&] { list.SaveToFile(qpath("no-folder/Studies.exd")); }),
              "Ошибка записи 80030003");
    {
        ForeignReader other(file.toStdString());
        ASSERT_TRUE(other.holding());
        EXPECT_EQ(errorText([&] { list.LoadFromFile(file); }), "Ошибка чтения 80030020");
        EXPECT_EQ(errorText([&] { list.SaveToFile(file); }), "Ошибка записи 80030020");
    }
    EXPECT_EQ(fileBytes(file.toStdString()), before);
    EXPECT_EQ(list.Count(), 2);
    EXPECT_FALSE(list.Reading());
    EXPECT_FALSE(list.Writing());
}

TEST_F(StudiesFileTest, FailedImportLinksWhatWasMerged) {
    TKvalor root;
    const Sample s = fillSample(root);
    const std::string good = path("good.exd");
    writeResultsFile(
        good, 3,
        studiesStream({studyRecord(10.0, s.ivanov->Id(), s.test->Id(), s.question->Id(), 50.0)}));
    // Two studies announced, one and a half stored.
    const std::string whole =
        studiesStream({studyRecord(11.0, s.petrova->Id(), s.second->Id(), Guid(), 50.0),
                       studyRecord(12.0, s.petrova->Id(), s.second->Id(), Guid(), 50.0)});
    const std::string damaged = path("damaged.exd");
    writeResultsFile(damaged, 3, whole.substr(0, whole.size() - 20));
    const std::string later = path("later.exd");
    writeResultsFile(later, 3,
                     studiesStream({studyRecord(13.0, s.ivanov->Id(), s.test->Id(), Guid(), 0)}));

    EXPECT_EQ(errorText([&] {
                  root.ImportStudies({QString::fromStdString(good), QString::fromStdString(damaged),
                                      QString::fromStdString(later)});
              }),
              kDamaged);
    EXPECT_EQ(root.Studies().Count(), 4);
    const TStudy* fromGood = findStudy(root.Studies(), 10.0);
    const TStudy* fromDamaged = findStudy(root.Studies(), 11.0);
    ASSERT_TRUE(fromGood && fromDamaged);
    EXPECT_EQ(fromGood->User(), s.ivanov);
    EXPECT_EQ(fromGood->Questions().Items(0).Question, s.question);
    EXPECT_EQ(fromDamaged->User(), s.petrova);
    EXPECT_EQ(fromDamaged->Test(), s.second);
    EXPECT_EQ(findStudy(root.Studies(), 13.0), nullptr);
    EXPECT_FALSE(root.Studies().Reading());
    EXPECT_EQ(root.State(), 0);
}
