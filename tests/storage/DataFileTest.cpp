#include <gtest/gtest.h>

#include <signal.h>
#include <sys/resource.h>

#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "SampleData.h"
#include "StorageTestSupport.h"
#include "StoredRecords.h"
#include "cipher/KVTEACrypt.h"
#include "model/AccountMessages.h"
#include "model/CollectionHelpers.h"
#include "storage/CompoundFile.h"
#include "storage/DataStreams.h"
#include "storage/Packing.h"

using namespace kvalor;
using namespace storagetest;

namespace {

const Guid kTestB = Guid::fromLiteral("{0B000000-0000-4000-8000-000000000001}");
const Guid kTestA = Guid::fromLiteral("{0A000000-0000-4000-8000-000000000002}");
const Guid kQuestionB = Guid::fromLiteral("{0B000000-0000-4000-8000-000000000003}");
const Guid kQuestionA = Guid::fromLiteral("{0A000000-0000-4000-8000-000000000004}");
const Guid kAccount = Guid::fromLiteral("{AC000000-0000-4000-8000-000000000005}");
const Guid kGroup = Guid::fromLiteral("{6B000000-0000-4000-8000-000000000006}");
const Guid kAccountInGroup = Guid::fromLiteral("{AC000000-0000-4000-8000-000000000007}");

std::string versionBytes(const std::string& file) {
    const CompoundFileReader reader(QString::fromStdString(file));
    return reader.root().stream("Version").readAll();
}

// The unpacked content of each stream of a file as hand-made files need it: two tests stored
// in the order Б, А with numbers 7 and 3, an account with an enciphered password, and a study
// of that account on test Б.
std::map<std::string, std::string> oldFileContent(int version) {
    THash password = cp("старый");
    TKVTEAEncrypt().encipher(password);
    return {
        {"SimpleTests/Data", listStream({testRecord(version, kTestB, cp("Б"), 7, kQuestionB),
                                         testRecord(version, kTestA, cp("А"), 3, kQuestionA)})},
        {"ComplexTests/Data", listStream({})},
        {"Competitors/Data",
         listStream({std::string(1, '\0') + accountRecord(kAccount, cp("Сидоров"), password)})},
        {"ComplexTasks/Data", listStream({})},
        {"Studies/Data", studiesStream({studyRecord(45100.75, kAccount, kTestB, kQuestionB, 0)})},
    };
}

// The streams packed as the version asks: compressed from version 2 on, and enciphered too
// for version 2.
std::map<std::string, std::string> packedFor(int version,
                                             std::map<std::string, std::string> streams) {
    for (auto& [name, content] : streams) {
        if (version >= 2) {
            content = zlibCompress(content);
        }
        if (version == 2) {
            TKVTEAEncrypt().encipher(content);
        }
    }
    return streams;
}

class DataFileTest : public StorageTest {};

}  // namespace

TEST_F(DataFileTest, RoundTripKeepsEverythingAndLinksIt) {
    const std::string file = path("KvalorData.exd");
    TKvalor original;
    const Sample sample = fillSample(original);
    original.SetOption1(7);
    original.SetOption2(9);
    const std::string expected = describe(original);
    ASSERT_NE(expected.find(cp("пароль")), std::string::npos);

    // A study of an account that no longer exists is dropped by the fix-ups.
    auto orphan = std::make_unique<TStudy>();
    orphan->SetUserId(Guid::create());
    orphan->SetTestId(sample.test->Id());
    original.Studies().Append(std::move(orphan));

    original.SaveToFile(QString::fromStdString(file));
    EXPECT_EQ(original.State(), 0);
    EXPECT_EQ(versionBytes(file), std::string("\x03\x07\x09", 3));

    TKvalor loaded;
    loaded.LoadFromFile(QString::fromStdString(file), true);
    EXPECT_EQ(describe(loaded), expected);
    EXPECT_EQ(loaded.Option1(), 1);
    EXPECT_EQ(loaded.Option2(), 1);
    EXPECT_EQ(loaded.State(), 0);
    // The links lead to the objects of this root, found by id.
    ASSERT_EQ(loaded.Studies().Count(), 2);
    for (int i = 0; i < loaded.Studies().Count(); ++i) {
        const TStudy& study = loaded.Studies().StudyAt(i);
        EXPECT_EQ(study.User(), loaded.Users().FindItem(study.UserId()));
        const TQuestions* test = study.Test();
        ASSERT_NE(test, nullptr);
        EXPECT_TRUE(loaded.SimpleTests().FindCollection(test->Id()) == test ||
                    loaded.ComplexTests().FindCollection(test->Id()) == test);
    }
    for (int i = 0; i < loaded.Tasks().Count(); ++i) {
        EXPECT_EQ(loaded.Tasks().Task(i).Source,
                  loaded.SimpleTests().FindCollection(loaded.Tasks().Task(i).SourceId));
    }

    // Saved again, a loaded file carries the options 1 and 1.
    loaded.SaveToFile(QString::fromStdString(file));
    EXPECT_EQ(versionBytes(file), std::string("\x03\x01\x01", 3));

    // A load replaces whatever the root held, the current user included.
    TKvalor reused;
    fillSample(reused);
    reused.SetCurrentUser(reused.Users().Teacher());
    reused.LoadFromFile(QString::fromStdString(file), true);
    EXPECT_EQ(reused.CurrentUser(), nullptr);
    EXPECT_EQ(describe(reused), expected);

    // Without fix-ups nothing is linked.
    TKvalor raw;
    raw.LoadFromFile(QString::fromStdString(file), false);
    ASSERT_EQ(raw.Studies().Count(), 2);
    for (int i = 0; i < raw.Studies().Count(); ++i) {
        const TStudy& study = raw.Studies().StudyAt(i);
        EXPECT_EQ(study.User(), nullptr);
        EXPECT_EQ(study.Test(), nullptr);
        for (int r = 0; r < study.Questions().Count(); ++r) {
            EXPECT_EQ(study.Questions().Items(r).Question, nullptr);
        }
    }
    EXPECT_EQ(raw.Option1(), 1);
}

// Load, save and import tell their advance: never backwards, never beyond the total, ending
// at the total, which counts what the operation handles (stored bytes, packed bytes, files).
TEST_F(DataFileTest, LongOperationsReportTheirAdvance) {
    struct Reports {
        std::vector<std::pair<std::uint64_t, std::uint64_t>> calls;
        Progress callback() {
            return [this](std::uint64_t done, std::uint64_t total) { calls.emplace_back(done, total); };
        }
        void expectWhole(std::uint64_t expectedTotal) const {
            ASSERT_FALSE(calls.empty());
            for (std::size_t i = 0; i < calls.size(); ++i) {
                EXPECT_EQ(calls[i].second, expectedTotal) << i;
                EXPECT_LE(calls[i].first, calls[i].second) << i;
                if (i > 0) {
                    EXPECT_GE(calls[i].first, calls[i - 1].first) << i;
                }
            }
            EXPECT_EQ(calls.back().first, expectedTotal);
        }
    };
    TKvalor root;
    fillSample(root);
    // More than one piece of packing, so that the save reports along the way.
    for (int i = 0; i < 40000; ++i) {
        auto study = std::make_unique<TStudy>();
        study->SetDate(50000.0 + i);
        root.Studies().Append(std::move(study));
    }
    ByteStream simple, complex, users, tasks, studies;
    SaveTestsStream(root.SimpleTests(), simple);
    SaveTestsStream(root.ComplexTests(), complex);
    SaveUsersStream(root.Users(), users);
    root.Tasks().SaveToStream(tasks);
    root.Studies().SaveToStream(studies);
    const std::uint64_t unpacked =
        simple.size() + complex.size() + users.size() + tasks.size() + studies.size();

    Reports saving;
    root.SaveToFile(qpath("KvalorData.exd"), nullptr, saving.callback());
    saving.expectWhole(unpacked);
    EXPECT_GT(saving.calls.size(), 2u);

    std::uint64_t stored = 0;
    {
        const CompoundFileReader reader(qpath("KvalorData.exd"));
        for (const char* storage :
             {"SimpleTests", "ComplexTests", "Competitors", "ComplexTasks", "Studies"}) {
            stored += reader.root().storage(storage).stream("Data").readAll().size();
        }
    }
    Reports loading;
    TKvalor loaded;
    loaded.LoadFromFile(qpath("KvalorData.exd"), true, loading.callback());
    loading.expectWhole(stored);
    EXPECT_EQ(loading.calls.size(), 6u);

    root.Studies().SaveToFile(qpath("Studies.exd"));
    Reports importing;
    loaded.ImportStudies({qpath("Studies.exd"), qpath("Studies.exd")}, importing.callback());
    importing.expectWhole(2);
    EXPECT_EQ(importing.calls.size(), 3u);
}

TEST_F(DataFileTest, IndependentReaderSeesTheElementsAndTheLayouts) {
    TKvalor root;
    root.SetOption1(5);
    root.SetOption2(6);
    auto* simple = addTest(root.SimpleTests(), kGroupKindSimpleTest, "S");
    auto* complex = addTest(root.ComplexTests(), kGroupKindComplexTest, "C");
    root.Tasks().Task(root.Tasks().AddTask(*complex, *simple)).QuestionCount = 3;
    auto account = std::make_unique<TCompetitor>(kAccount);
    account->SetName(cp("Иванов"));
    account->SetField(1, cp("Иванов"));
    root.Users().AddCompetitor(std::move(account), false);
    auto group = std::make_unique<TCompetitors>();
    group->SetName(cp("Группа"));
    auto inGroup = std::make_unique<TCompetitor>(kAccountInGroup);
    inGroup->SetName(cp("Петрова"));
    inGroup->SetField(1, cp("Петрова"));
    group->AddCompetitor(std::move(inGroup), false);
    root.Users().AddCollection(std::move(group));

    const std::string file = path("KvalorData.exd");
    root.SaveToFile(QString::fromStdString(file));
    const std::optional<std::string> listing = runOlefileList("hex", file);
    if (!listing) {
        GTEST_SKIP() << "python3 with olefile is not available";
    }
    std::map<std::string, std::string> lines;
    std::istringstream in(*listing);
    for (std::string kind, name, value; in >> kind >> name;) {
        std::getline(in, value);
        lines[kind + " " + name] = value.empty() ? value : value.substr(1);
    }
    std::vector<std::string> names;
    for (const auto& [name, value] : lines) {
        names.push_back(name);
    }
    EXPECT_EQ(names, (std::vector<std::string>{
                         "D Competitors", "D ComplexTasks", "D ComplexTests", "D SimpleTests",
                         "D Studies", "S Competitors/Data", "S ComplexTasks/Data",
                         "S ComplexTests/Data", "S SimpleTests/Data", "S Studies/Data", "S Version",
                         "Z Competitors/Data", "Z ComplexTasks/Data", "Z ComplexTests/Data",
                         "Z SimpleTests/Data", "Z Studies/Data"}))
        << *listing;
    EXPECT_EQ(lines["S Version"], "030506");
    for (const char* storage :
         {"Competitors", "ComplexTasks", "ComplexTests", "SimpleTests", "Studies"}) {
        EXPECT_EQ(lines["S " + std::string(storage) + "/Data"].substr(0, 4), "78da") << storage;
    }

    const auto hex = [](const std::string& bytes) {
        return QByteArray::fromStdString(bytes).toHex().toStdString();
    };
    RecordBytes users;
    users.i32(2).u8(0).raw(accountRecord(kAccount, cp("Иванов"), ""));
    users.u8(1).raw(usersGroupRecord(Guid(), cp("Группа"),
                                     {accountRecord(kAccountInGroup, cp("Петрова"), "")}));
    EXPECT_EQ(lines["Z Competitors/Data"], hex(users.data()));
    RecordBytes tasks;
    tasks.i32(1).id(complex->Id()).id(simple->Id()).i32(3);
    EXPECT_EQ(lines["Z ComplexTasks/Data"], hex(tasks.data()));
    EXPECT_EQ(lines["Z Studies/Data"], "0300000000");
    RecordBytes simpleHead;
    simpleHead.i32(1).id(QuestionsTypeId()).id(simple->Id());
    EXPECT_EQ(lines["Z SimpleTests/Data"].substr(0, hex(simpleHead.data()).size()),
              hex(simpleHead.data()));
    RecordBytes complexHead;
    complexHead.i32(1).id(QuestionsTypeId()).id(complex->Id());
    EXPECT_EQ(lines["Z ComplexTests/Data"].substr(0, hex(complexHead.data()).size()),
              hex(complexHead.data()));
}

TEST_F(DataFileTest, OlderVersionsAreReadWithTheirFields) {
    for (const int version : {0, 1, 2}) {
        SCOPED_TRACE(version);
        const std::string file = path("v" + std::to_string(version) + ".exd");
        std::map<std::string, std::string> streams = packedFor(version, oldFileContent(version));
        if (version > 0) {
            streams["Version"] = std::string{static_cast<char>(version), 4, 4};
        }
        writeCompoundFile(file, streams);

        TKvalor root;
        root.LoadFromFile(QString::fromStdString(file), true);
        EXPECT_EQ(root.Option1(), 1);
        EXPECT_EQ(root.Option2(), 1);
        ASSERT_EQ(root.SimpleTests().Count(), 2);
        // Numbered in file order, whatever was stored.
        auto* first = dynamic_cast<TQuestions*>(root.SimpleTests().CollectionAt(0));
        auto* second = dynamic_cast<TQuestions*>(root.SimpleTests().CollectionAt(1));
        ASSERT_TRUE(first && second);
        EXPECT_EQ(first->GetName(), cp("Б"));
        EXPECT_EQ(first->GetNumber(), 1);
        EXPECT_EQ(second->GetName(), cp("А"));
        EXPECT_EQ(second->GetNumber(), 2);
        EXPECT_EQ(first->PassPercent(), 55.0);
        EXPECT_EQ(first->LevelThresholds(), (std::vector<double>{40.0, 80.0}));

        // Mixing flags exist from version 2 on, the answers' AllowMix from version 1 on.
        auto* group = dynamic_cast<TQuestions*>(first->CollectionAt(1));
        ASSERT_NE(group, nullptr);
        const bool flags = version >= 2;
        EXPECT_EQ(first->MixGroups(), !flags);
        EXPECT_EQ(first->MixAnswers(), !flags);
        EXPECT_EQ(first->BreakGroups(), flags);
        EXPECT_EQ(group->MixQuestions(), !flags);
        EXPECT_EQ(group->BreakGroups(), flags);
        auto* question = dynamic_cast<TQuestion*>(first->ElementAt(0));
        ASSERT_NE(question, nullptr);
        EXPECT_EQ(question->Answers().AllowMix(), version == 0);
        EXPECT_EQ(question->Answers().Count(), 2);

        // The account with its password, the built-in accounts ensured in their places.
        auto* account = dynamic_cast<TCompetitor*>(root.Users().FindItem(kAccount));
        ASSERT_NE(account, nullptr);
        EXPECT_EQ(account->Password(), cp("старый"));
        ASSERT_EQ(root.Users().Count(), 4);
        EXPECT_EQ(root.Users().Administrator()->Id(), AdministratorAccountId());
        EXPECT_EQ(root.Users().Administrator()->GetName(), cp("Администратор"));
        EXPECT_EQ(root.Users().Administrator()->GetField(1), cp("Администратор"));
        EXPECT_EQ(root.Users().Teacher()->Id(), TeacherAccountId());
        EXPECT_EQ(root.Users().ElementAt(3), account);

        ASSERT_EQ(root.Studies().Count(), 1);
        const TStudy& study = root.Studies().StudyAt(0);
        EXPECT_EQ(study.User(), account);
        EXPECT_EQ(study.Test(), first);
        EXPECT_EQ(study.Questions().Items(0).Question, question);

        // Written again in the current format.
        root.SaveToFile(QString::fromStdString(file));
        EXPECT_EQ(versionBytes(file), std::string("\x03\x01\x01", 3));
        const CompoundFileReader reader(QString::fromStdString(file));
        for (const char* storage :
             {"SimpleTests", "ComplexTests", "Competitors", "ComplexTasks", "Studies"}) {
            const std::string data = reader.root().storage(storage).stream("Data").readAll();
            EXPECT_EQ(data.substr(0, 2), "\x78\xDA") << storage;
        }
    }

    // The numbering belongs to reading, with or without fix-ups.
    const std::string file = path("raw.exd");
    writeCompoundFile(file, oldFileContent(0));
    TKvalor raw;
    raw.LoadFromFile(QString::fromStdString(file), false);
    ASSERT_EQ(raw.SimpleTests().Count(), 2);
    EXPECT_EQ(raw.SimpleTests().Items(0)->GetNumber(), 1);
    EXPECT_EQ(raw.SimpleTests().Items(1)->GetNumber(), 2);
    EXPECT_EQ(raw.Users().Count(), 1);
}

TEST_F(DataFileTest, MissingPartsFailWithTheirMessages) {
    const std::string missing = path("absent.exd");
    TKvalor root;
    EXPECT_EQ(errorText([&] { root.LoadFromFile(QString::fromStdString(missing), true); }),
              "Файл " + missing + " не найден");

    writeBytes(path("text.exd"), "no compound file at all, just some text");
    EXPECT_EQ(errorText([&] { root.LoadFromFile(qpath("text.exd"), true); }),
              "Ошибка чтения $800300FB");

    // Everything up to the users is read before the missing storage is noticed.
    std::map<std::string, std::string> streams = oldFileContent(1);
    streams.erase("ComplexTasks/Data");
    streams["Version"] = std::string("\x01\x00\x00", 3);
    const std::string file = path("no-tasks.exd");
    writeCompoundFile(file, streams);
    const std::string before = fileBytes(file);
    fillSample(root);
    root.SetCurrentUser(root.Users().Teacher());
    EXPECT_EQ(errorText([&] { root.LoadFromFile(QString::fromStdString(file), true); }),
              "Ошибка чтения ComplexTasks");
    EXPECT_EQ(root.SimpleTests().Count(), 2);
    EXPECT_EQ(root.ComplexTests().Count(), 0);
    EXPECT_EQ(root.Users().Count(), 1);
    EXPECT_EQ(root.Tasks().Count(), 0);
    EXPECT_EQ(root.Studies().Count(), 0);
    EXPECT_EQ(root.CurrentUser(), nullptr);
    EXPECT_EQ(root.State(), 0);
    EXPECT_EQ(fileBytes(file), before);

    // A storage without its stream "Data": the container's "not found".
    streams["ComplexTasks/"] = "";
    writeCompoundFile(file, streams);
    EXPECT_EQ(errorText([&] { root.LoadFromFile(QString::fromStdString(file), true); }),
              "Ошибка чтения $80030002");

    streams.erase("SimpleTests/Data");
    writeCompoundFile(file, streams);
    EXPECT_EQ(errorText([&] { root.LoadFromFile(QString::fromStdString(file), true); }),
              "Ошибка чтения SimpleTests");
}

TEST_F(DataFileTest, FileHeldByAnotherProcessIsAShareViolation) {
    const std::string file = path("KvalorData.exd");
    TKvalor root;
    fillSample(root);
    root.SaveToFile(QString::fromStdString(file));
    const std::string content = describe(root);
    const std::string before = fileBytes(file);

    ForeignReader other(file);
    ASSERT_TRUE(other.holding());
    EXPECT_EQ(errorText([&] { root.LoadFromFile(QString::fromStdString(file), true); }),
              "Ошибка чтения $80030020");
    // Refused before anything was cleared.
    EXPECT_EQ(describe(root), content);
    EXPECT_EQ(errorText([&] { root.SaveToFile(QString::fromStdString(file)); }),
              "Ошибка записи $80030020");
    EXPECT_EQ(root.State(), 0);
    other.release();
    EXPECT_EQ(fileBytes(file), before);
    root.LoadFromFile(QString::fromStdString(file), true);
    EXPECT_EQ(describe(root), content);
}

TEST_F(DataFileTest, FailedSaveKeepsThePreviousFile) {
    const std::string file = path("KvalorData.exd");
    TKvalor root;
    fillSample(root);
    root.SaveToFile(QString::fromStdString(file));
    const std::string before = fileBytes(file);
    const std::string content = describe(root);

    // More questions than fit under the file size limit of the saving process.
    for (int i = 0; i < 200; ++i) {
        addQuestion(*dynamic_cast<TQuestions*>(root.SimpleTests().CollectionAt(0)),
                    "Вопрос без повторов", kSingleAnswer, {true, false});
    }
    const std::string message = messageInChildProcess([&] {
        ::signal(SIGXFSZ, SIG_IGN);
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        root.SaveToFile(QString::fromStdString(file));
    });
    EXPECT_EQ(message, "Ошибка записи $8003001D");
    EXPECT_EQ(fileBytes(file), before);
    TKvalor reloaded;
    reloaded.LoadFromFile(QString::fromStdString(file), true);
    EXPECT_EQ(describe(reloaded), content);

    EXPECT_EQ(errorText([&] { root.SaveToFile(qpath("no-folder/KvalorData.exd")); }),
              "Ошибка записи $80030003");
}

TEST_F(DataFileTest, DamagedFilesFailWithAnErrorAndNoHarm) {
    const std::string file = path("KvalorData.exd");
    TKvalor source;
    fillSample(source);
    source.SaveToFile(QString::fromStdString(file));
    const std::string whole = fileBytes(file);
    // Damaged passwords are reported and passed over; here they only make noise.
    const AccountMessageHandler previous = setAccountMessageHandler([](const QString&) {});

    // Every failure leaves a root whose every reference can be followed.
    const auto loadFails = [](const std::string& damaged) {
        TKvalor root;
        fillSample(root);
        root.SetCurrentUser(root.Users().Administrator());
        const std::optional<std::string> error =
            errorText([&] { root.LoadFromFile(QString::fromStdString(damaged), true); });
        // Refused at once or cleared: the current user is still the account or none.
        if (const TCompetitor* current = root.CurrentUser()) {
            EXPECT_EQ(root.Users().FindItem(current->Id()), current);
        }
        EXPECT_FALSE(describe(root).empty());
        return error.has_value();
    };

    // The file cut short.
    const std::string cut = path("cut.exd");
    for (std::size_t length = 0; length < whole.size(); length += (length < 1024 ? 7 : 211)) {
        SCOPED_TRACE(length);
        writeBytes(cut, whole.substr(0, length));
        EXPECT_TRUE(loadFails(cut));
        EXPECT_EQ(fileBytes(cut), whole.substr(0, length));
    }

    // Each stream cut short inside intact packing, the others whole.
    std::map<std::string, std::string> streams;
    {
        const CompoundFileReader reader(QString::fromStdString(file));
        for (const char* storage :
             {"SimpleTests", "ComplexTests", "Competitors", "ComplexTasks", "Studies"}) {
            ByteStream data(reader.root().storage(storage).stream("Data").readAll());
            UnpackStream(data, 3);
            streams[std::string(storage) + "/Data"] = data.data();
        }
    }
    const std::string damaged = path("damaged.exd");
    for (const auto& [name, content] : streams) {
        for (std::size_t length = 0; length < content.size(); length += 1 + length / 16) {
            SCOPED_TRACE(name + " " + std::to_string(length));
            std::map<std::string, std::string> parts = streams;
            parts[name] = content.substr(0, length);
            parts = packedFor(3, parts);
            parts["Version"] = std::string("\x03\x01\x01", 3);
            writeCompoundFile(damaged, parts);
            EXPECT_TRUE(loadFails(damaged));
        }
    }

    // Bytes that are no zlib data, zlib data of noise, and noise where records are expected.
    std::mt19937 random(42);
    std::string noise(3000, '\0');
    for (char& byte : noise) {
        byte = static_cast<char>(random());
    }
    for (const std::string& data :
         {noise, zlibCompress(noise), std::string("\x78\xDA", 2) + noise,
          zlibCompress(std::string(64, '\xFF')), zlibCompress(std::string(4096, '\x01'))}) {
        for (const char* name : {"SimpleTests/Data", "Competitors/Data", "Studies/Data"}) {
            std::map<std::string, std::string> parts = packedFor(3, streams);
            parts[name] = data;
            parts["Version"] = std::string("\x03\x01\x01", 3);
            writeCompoundFile(damaged, parts);
            EXPECT_TRUE(loadFails(damaged)) << name;
        }
    }
    setAccountMessageHandler(previous);
}

TEST_F(DataFileTest, NestingBeyondTheLimitIsRefused) {
    // A simple test with groups nested the given number of levels below it.
    const auto nestedTests = [](int levels) {
        RecordBytes bytes;
        bytes.i32(1);
        for (int level = 0; level <= levels; ++level) {
            if (level > 0) {
                bytes.u8(0x80 | kQuestionsKind);
            }
            bytes.collection(QuestionsTypeId(), Guid::create(), 0, kQuestionsKind, 0, "",
                             level < levels ? 1 : 0);
        }
        for (int level = levels; level >= 0; --level) {
            groupSettings(bytes, 3, level > 0 ? kGroupKindSubgroup : kGroupKindSimpleTest,
                          std::string(4, '\0'));
        }
        return bytes.data();
    };
    const std::string file = path("nested.exd");
    for (const int levels : {kMaxRecordNesting, kMaxRecordNesting + 1, 100000}) {
        SCOPED_TRACE(levels);
        std::map<std::string, std::string> streams = oldFileContent(3);
        streams["SimpleTests/Data"] = nestedTests(levels);
        streams = packedFor(3, streams);
        streams["Version"] = "\x03";
        writeCompoundFile(file, streams);
        TKvalor root;
        const auto load = [&] { root.LoadFromFile(QString::fromStdString(file), true); };
        if (levels > kMaxRecordNesting) {
            EXPECT_EQ(errorText(load), "Ошибка чтения потока: данные повреждены или неполны");
            EXPECT_EQ(root.SimpleTests().Count(), 0);
            continue;
        }
        // As deep as allowed, the tree is read, walked, written and read again.
        load();
        EXPECT_EQ(CollectCollections(root.SimpleTests(), "TQuestions").size(),
                  static_cast<std::size_t>(levels) + 2);
        root.SaveToFile(QString::fromStdString(file));
        load();
        EXPECT_EQ(root.Studies().Count(), 0);  // the test of the stored study is not there
    }
}

TEST_F(DataFileTest, ManySubGroupsLoadInOnePass) {
    // One test of 20,000 groups of one question each, written by the program: every group
    // renumbering its whole test, or every insert scanning its collection, made this hang.
    constexpr int kGroups = 20000;
    const std::string file = path("groups.exd");
    {
        TKvalor root;
        TQuestions* test = addTest(root.SimpleTests(), kGroupKindSimpleTest, "Тест");
        for (int i = 0; i < kGroups; ++i) {
            addQuestion(*addTest(*test, kGroupKindSubgroup, "Группа"), "Вопрос", kSingleAnswer,
                        {true});
        }
        root.SaveToFile(QString::fromStdString(file));
    }
    TKvalor root;
    root.LoadFromFile(QString::fromStdString(file), true);
    const TExaminerCollection& test = *root.SimpleTests().CollectionAt(0);
    ASSERT_EQ(test.Count(), kGroups);
    for (const int group : {0, kGroups / 2, kGroups - 1}) {
        EXPECT_EQ(test.CollectionAt(group)->GetNumber(), group + 1);
        EXPECT_EQ(test.CollectionAt(group)->ElementAt(0)->GetNumber(), group + 1);
    }
}

TEST_F(DataFileTest, NothingIsWrittenThatCouldNotBeReadBack) {
    const QString file = qpath("KvalorData.exd");
    TKvalor root;
    fillSample(root);
    root.SaveToFile(file);
    const std::string before = fileBytes(file.toStdString());

    // On a machine whose bound a stream exceeds, the save fails before the file is replaced.
    addQuestion(static_cast<TQuestions&>(*root.SimpleTests().CollectionAt(0)), "Вопрос",
                kSingleAnswer, {true});
    root.SimpleTests().Renumber();
    SetMaxUnpackedSize(400);
    const auto refused = errorText([&] { root.SaveToFile(file); });
    const auto unreadable = errorText([&] {
        TKvalor other;
        other.LoadFromFile(file, true);
    });
    SetMaxUnpackedSize(std::nullopt);
    ASSERT_TRUE(refused.has_value());
    EXPECT_EQ(refused->rfind("Ошибка записи SimpleTests: ", 0), 0u) << *refused;
    EXPECT_EQ(fileBytes(file.toStdString()), before);
    // What was written under the machine's bound does not read under a smaller one.
    ASSERT_TRUE(unreadable.has_value());
    EXPECT_EQ(unreadable->rfind("Хранилище «SimpleTests» файла данных повреждено (", 0), 0u);

    root.SaveToFile(file);
    TKvalor again;
    again.LoadFromFile(file, true);
    EXPECT_EQ(describe(again), describe(root));
}

TEST_F(DataFileTest, NothingIsWrittenNestedDeeperThanItIsRead) {
    const QString file = qpath("KvalorData.exd");
    TKvalor root;
    TQuestions* deepest = addTest(root.SimpleTests(), kGroupKindSimpleTest, "Тест");
    for (int level = 0; level < kMaxRecordNesting; ++level) {
        deepest = addTest(*deepest, kGroupKindSubgroup, "");
    }
    root.SaveToFile(file);  // groups as deep as the reader takes them
    const std::string before = fileBytes(file.toStdString());
    TKvalor read;
    read.LoadFromFile(file, true);

    // A question down there would put its answers beyond the limit.
    addQuestion(*deepest, "Вопрос", kSingleAnswer, {true});
    EXPECT_EQ(errorText([&] { root.SaveToFile(file); }),
              "Слишком глубокая вложенность групп: допускается не более 259 уровней");
    EXPECT_EQ(fileBytes(file.toStdString()), before);
}
