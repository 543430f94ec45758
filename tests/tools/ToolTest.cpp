#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>
#include <set>
#include <sstream>

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>
#include <QTime>

#include "analysis/ClassTable.h"
#include "exchange/WorkbookTestSupport.h"
#include "model/BuiltinAccounts.h"
#include "model/CollectionHelpers.h"
#include "model/Competitor.h"
#include "model/Competitors.h"
#include "model/Kvalor.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/StarterData.h"
#include "model/Study.h"
#include "model/StudyList.h"
#include "model/TaskList.h"
#include "model/TypeIds.h"
#include "storage/CompoundFile.h"
#include "storage/DataFileLock.h"
#include "storage/StorageTestSupport.h"
#include "util/Codepage.h"
#include "util/DateTime.h"

using namespace kvalor;

namespace {

struct ToolRun {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

ToolRun runTool(const QStringList& args, const char* program = "tools/kvalor-tool") {
    QProcess process;
    process.start(QString::fromUtf8(KVALOR_BINARY_DIR "/") + program, args);
    ToolRun run;
    if (!process.waitForFinished(120000) || process.exitStatus() != QProcess::NormalExit) {
        ADD_FAILURE() << "kvalor-tool did not finish: " << args.join(' ').toStdString();
        return run;
    }
    run.exitCode = process.exitCode();
    run.out = process.readAllStandardOutput();
    run.err = QString::fromUtf8(process.readAllStandardError());
    return run;
}

QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}

QByteArray fileBytes(const QString& name) {
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class ToolTest : public ::testing::Test {
protected:
    QString path(const char* name) const { return dir_.filePath(QString::fromUtf8(name)); }

    QString initFile(const char* name = "KvalorData.exd") const {
        const QString file = path(name);
        const ToolRun run = runTool({"init", file});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        return file;
    }

    static QJsonObject dump(const QString& file) {
        const ToolRun run = runTool({"dump", file});
        EXPECT_EQ(run.exitCode, 0) << run.err.toStdString();
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(run.out, &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << error.errorString().toStdString();
        return document.object();
    }

    QTemporaryDir dir_;
};

// Every question of a dumped group and its nested groups, depth first.
void collectQuestions(const QJsonObject& group, QJsonArray& questions) {
    for (const QJsonValue& entry : group["entries"].toArray()) {
        if (entry["entry"] == "question") {
            questions.append(entry);
        } else {
            collectQuestions(entry.toObject(), questions);
        }
    }
}

TEST_F(ToolTest, InitWritesTheStarterContent) {
    const QJsonObject data = dump(initFile());
    EXPECT_EQ(data["file"], "data");
    EXPECT_EQ(data["version"], 3);
    EXPECT_EQ(data["options"], (QJsonArray{1, 1}));
    EXPECT_TRUE(data["studies"].toArray().isEmpty());

    // The built-in accounts lead the list, without passwords; then the class with two
    // applicants whose name parts are filled in.
    const QJsonArray users = data["users"].toArray();
    ASSERT_EQ(users.size(), 4);
    const QString builtinIds[] = {AdministratorAccountId().toQString(),
                                  TeacherAccountId().toQString(), ApplicantAccountId().toQString()};
    const int builtinRoles[] = {kRoleAdministrator, kRoleTeacher, kRoleApplicant};
    const QString builtinNames[] = {u("Администратор"), u("Преподаватель"), u("Соискатель")};
    for (int i = 0; i < 3; ++i) {
        EXPECT_EQ(users[i]["entry"], "account");
        EXPECT_EQ(users[i]["id"], builtinIds[i]);
        EXPECT_EQ(users[i]["role"], builtinRoles[i]);
        EXPECT_EQ(users[i]["name"], builtinNames[i]);
        EXPECT_EQ(users[i]["fields"][1], builtinNames[i]);
        EXPECT_EQ(users[i]["hasPassword"], false);
    }
    const QJsonObject group = users[3].toObject();
    EXPECT_EQ(group["entry"], "group");
    EXPECT_EQ(group["name"], u("10 А класс"));
    EXPECT_NE(group["id"], Guid().toQString());
    const QJsonArray applicants = group["entries"].toArray();
    ASSERT_EQ(applicants.size(), 2);
    for (const QJsonValue& applicant : applicants) {
        EXPECT_EQ(applicant["entry"], "account");
        EXPECT_EQ(applicant["role"], kRoleApplicant);
        EXPECT_EQ(applicant["hasPassword"], false);
        EXPECT_EQ(applicant["fields"].toArray().size(), TCompetitor::kFieldCount);
        for (int field = 0; field < 3; ++field) {
            EXPECT_FALSE(applicant["fields"][field].toString().isEmpty()) << field;
        }
    }

    // The simple test: two groups, questions of all three types with their keys, numbered
    // through the whole test.
    const QJsonArray simpleTests = data["simpleTests"].toArray();
    ASSERT_EQ(simpleTests.size(), 1);
    const QJsonObject simple = simpleTests[0].toObject();
    EXPECT_EQ(simple["name"], u("Демонстрационный тест"));
    EXPECT_EQ(simple["groupKind"], kGroupKindSimpleTest);
    EXPECT_GT(simple["duration"].toInt(), 0);
    EXPECT_EQ(simple["gradingMethod"], 0);
    EXPECT_EQ(simple["passPercent"], 50.0);
    const QJsonArray groups = simple["entries"].toArray();
    ASSERT_EQ(groups.size(), 2);
    std::set<QString> groupIds;
    for (const QJsonValue& g : groups) {
        EXPECT_EQ(g["entry"], "group");
        EXPECT_EQ(g["groupKind"], kGroupKindSubgroup);
        EXPECT_FALSE(g["entries"].toArray().isEmpty());
        groupIds.insert(g["id"].toString());
    }
    QJsonArray questions;
    collectQuestions(simple, questions);
    std::set<int> types;
    for (int i = 0; i < questions.size(); ++i) {
        const QJsonValue question = questions[i];
        EXPECT_EQ(question["number"], i + 1);
        EXPECT_FALSE(question["text"].toString().isEmpty());
        const QJsonArray answers = question["answers"].toArray();
        ASSERT_GE(answers.size(), 2);
        const int type = question["questionType"].toInt();
        types.insert(type);
        int correct = 0;
        for (int a = 0; a < answers.size(); ++a) {
            correct += answers[a]["correct"].toBool() ? 1 : 0;
            if (type == kSequence) {
                EXPECT_EQ(answers[a]["correctPosition"], a);
            }
        }
        if (type == kSingleAnswer) {
            EXPECT_EQ(correct, 1) << i;
        } else if (type == kMultipleAnswers) {
            EXPECT_GE(correct, 1) << i;
            EXPECT_LT(correct, answers.size()) << i;
        }
    }
    EXPECT_EQ(types, (std::set<int>{kSingleAnswer, kMultipleAnswers, kSequence}));

    // The complex test draws from both groups, never more questions than a group holds.
    const QJsonArray complexTests = data["complexTests"].toArray();
    ASSERT_EQ(complexTests.size(), 1);
    const QJsonObject complex = complexTests[0].toObject();
    EXPECT_EQ(complex["groupKind"], kGroupKindComplexTest);
    const QJsonArray tasks = data["tasks"].toArray();
    ASSERT_EQ(tasks.size(), 2);
    std::set<QString> sources;
    for (const QJsonValue& task : tasks) {
        EXPECT_EQ(task["complexTestId"], complex["id"]);
        EXPECT_EQ(task["complexTestName"], complex["name"]);
        sources.insert(task["sourceId"].toString());
        const auto source = std::find_if(groups.begin(), groups.end(), [&](const QJsonValue& g) {
            return g["id"] == task["sourceId"];
        });
        ASSERT_NE(source, groups.end());
        const QJsonObject sourceGroup = source->toObject();
        EXPECT_EQ(task["sourceName"], sourceGroup["name"]);
        EXPECT_GT(task["questionCount"].toInt(), 0);
        EXPECT_LE(task["questionCount"].toInt(), sourceGroup["entries"].toArray().size());
    }
    EXPECT_EQ(sources, groupIds);
}

TEST_F(ToolTest, ResaveKeepsEverything) {
    const QString original = initFile();
    const QString copy = path("copy.exd");
    const ToolRun run = runTool({"resave", original, copy});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.isEmpty());
    const QJsonObject before = dump(original);
    EXPECT_FALSE(before.isEmpty());
    EXPECT_EQ(dump(copy), before);
}

// The School data set at a twentieth of its size: read back by the independent reader, every
// stream "Data" a zlib stream that zlib inflates (the journal's is several pieces joined),
// the counts of the scale, and a resave that changes nothing.
TEST_F(ToolTest, SchoolDataSetIsReadBackAndResavedUnchanged) {
    const QString school = path("School.exd");
    const char* const makeSchool = "bench/school/kvalor-make-school";
    const ToolRun made = runTool({"0.05", school}, makeSchool);
    ASSERT_EQ(made.exitCode, 0) << made.err.toStdString();

    const std::optional<std::string> listing =
        storagetest::runOlefileList("hex", school.toStdString());
    if (listing) {
        std::istringstream in(*listing);
        int dataStreams = 0;
        for (std::string line; std::getline(in, line);) {
            std::istringstream fields(line);
            std::string kind, name, value;
            fields >> kind >> name >> value;
            if (kind == "S" && name.ends_with("/Data")) {
                ++dataStreams;
                EXPECT_EQ(value.substr(0, 4), "78da") << name;
            }
            EXPECT_NE(value, "error:") << name;
        }
        EXPECT_EQ(dataStreams, 5) << listing->substr(0, 500);
    }

    TKvalor root;
    root.LoadFromFile(school, true);
    EXPECT_EQ(root.SimpleTests().Count(), 25);
    EXPECT_EQ(CollectItems(root.SimpleTests(), "TQuestion", true).size(), 5000u);
    EXPECT_EQ(root.ComplexTests().Count(), 3);
    EXPECT_EQ(root.Tasks().Count(), 30);
    // 600 applicants and the built-in accounts.
    EXPECT_EQ(CollectItems(root.Users(), "TCompetitor", true).size(), 600u + 3u);
    ASSERT_EQ(root.Studies().Count(), 10000);
    EXPECT_EQ(root.Studies().StudyAt(0).Questions().Count(), 20);
    // Graded tests give a class the spread of grades it gets, not a 5 to everyone.
    std::map<int, int> grades;  // 0: not graded
    for (int i = 0; i < root.Studies().Count(); ++i) {
        const TStudy& study = root.Studies().StudyAt(i);
        ++grades[study.Test()->GradingMethod() == 1 ? study.Grade() : 0];
    }
    EXPECT_GE(grades.size(), 5u);
    EXPECT_LT(grades[5] * 4, root.Studies().Count() - grades[0]);

    const QString copy = path("Resaved.exd");
    ASSERT_EQ(runTool({"resave", school, copy}).exitCode, 0);
    const ToolRun before = runTool({"dump", school});
    const ToolRun after = runTool({"dump", copy});
    EXPECT_GT(before.out.size(), 10'000'000);
    EXPECT_TRUE(before.out == after.out);

    const ToolRun refused = runTool({"0", path("Zero.exd")}, makeSchool);
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_TRUE(refused.err.contains(u("Масштаб должен быть числом"))) << refused.err.toStdString();
    EXPECT_FALSE(QFile::exists(path("Zero.exd")));
}

// A finished run of the applicant Иванов through the demonstration test, every question
// answered with the key, written as a results file through the model.
struct StoredRun {
    QString userId;
    QString testId;
    double date = 0.0;
    int questionCount = 0;
};

StoredRun writeResultsFile(const QString& dataFile, const QString& resultsFile) {
    TKvalor root;
    root.LoadFromFile(dataFile, true);
    TCompetitor* user = nullptr;
    for (TExaminerElement* element : CollectItems(root.Users(), "TCompetitor", true)) {
        if (element->GetName() == toCp1251(u("Иванов П.С."))) {
            user = dynamic_cast<TCompetitor*>(element);
        }
    }
    auto* test = dynamic_cast<TQuestions*>(root.SimpleTests().CollectionAt(0));
    if (user == nullptr || test == nullptr) {
        ADD_FAILURE() << "the starter data lack the applicant or the test";
        return {};
    }
    const double date = toStoredDateTime(QDateTime(QDate(2024, 5, 17), QTime(10, 30, 15, 250)));
    auto study = TStudyList::NewStudy(kModeTesting, *user, *test, date);
    for (TExaminerElement* element : CollectItems(*test, "TQuestion", true)) {
        auto& question = dynamic_cast<TQuestion&>(*element);
        TExamineQuestion& record = study->Questions().Items(study->Questions().AddEmpty());
        record.QuestionId = question.Id();
        record.Question = &question;
        for (int i = 0; i < question.Answers().Count(); ++i) {
            const TAnswer& answer = *question.Answers().AnswerAt(i);
            record.Order.push_back(i);
            if (question.QuestionType() == kSequence) {
                record.Given.push_back(answer.CorrectPosition());
            } else if (answer.Correct()) {
                record.Given.push_back(i);
            }
        }
    }
    study->SetState(kStudyFinished);
    study->Score();
    StoredRun stored{user->Id().toQString(), test->Id().toQString(), date,
                     study->Questions().Count()};
    TStudyList list;
    list.Append(std::move(study));
    list.SaveToFile(resultsFile);
    return stored;
}

TEST_F(ToolTest, ImportStudiesAddsTheRunToTheDataFile) {
    const QString data = initFile();
    const QString results = path("Studies.exd");
    const StoredRun stored = writeResultsFile(data, results);
    ASSERT_GT(stored.questionCount, 0);

    // The results file alone: the study as stored, nothing to name its user or test by.
    const QJsonObject resultsDump = dump(results);
    EXPECT_EQ(resultsDump["file"], "studies");
    ASSERT_EQ(resultsDump["studies"].toArray().size(), 1);
    EXPECT_EQ(resultsDump["studies"][0]["userId"], stored.userId);
    EXPECT_TRUE(resultsDump["studies"][0]["userName"].isNull());

    // Importing the same run twice keeps one study.
    for (int round = 0; round < 2; ++round) {
        const ToolRun run = runTool({"import-studies", data, results});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_EQ(run.out, u("Импортировано результатов тестов: 1.\n"));
    }
    // Another installation has neither that applicant nor that test: told, not kept.
    const QString other = initFile("other.exd");
    const ToolRun elsewhere = runTool({"import-studies", other, results});
    ASSERT_EQ(elsewhere.exitCode, 0) << elsewhere.err.toStdString();
    EXPECT_EQ(elsewhere.out,
              u("Импортировано результатов тестов: 0.\nПропущено результатов: 1 — их "
                "пользователей или тестов нет в этой базе данных (нет пользователя: 1, нет "
                "теста: 1).\n"));
    EXPECT_TRUE(dump(other)["studies"].toArray().isEmpty());
    const QJsonArray studies = dump(data)["studies"].toArray();
    ASSERT_EQ(studies.size(), 1);
    const QJsonObject study = studies[0].toObject();
    EXPECT_EQ(study["userId"], stored.userId);
    EXPECT_EQ(study["userName"], u("Иванов П.С."));
    EXPECT_EQ(study["testId"], stored.testId);
    EXPECT_EQ(study["testName"], u("Демонстрационный тест"));
    EXPECT_EQ(study["dateValue"].toDouble(), stored.date);
    EXPECT_EQ(study["date"], "2024-05-17T10:30:15.250");
    EXPECT_EQ(study["mode"], kModeTesting);
    EXPECT_EQ(study["state"], kStudyFinished);
    EXPECT_EQ(study["correctCount"], stored.questionCount);
    EXPECT_EQ(study["percent"], 100.0);
    EXPECT_EQ(study["passed"], true);
    const QJsonArray records = study["questions"].toArray();
    ASSERT_EQ(records.size(), stored.questionCount);
    for (const QJsonValue& record : records) {
        EXPECT_EQ(record["right"], true);
        EXPECT_FALSE(record["given"].toArray().isEmpty());
        EXPECT_FALSE(record["order"].toArray().isEmpty());
    }
}

TEST_F(ToolTest, PasswordsAreNeverShown) {
    const QString data = initFile();
    const QString users = path("users.exd");
    const std::string password = "Sekret-42";
    {
        TKvalor root;
        root.LoadFromFile(data, true);
        auto* teacher = root.Users().Teacher();
        ASSERT_NE(teacher, nullptr);
        teacher->SetPassword(password);
        root.SaveToFile(data);
        root.Users().SaveToFile(users);
    }
    for (const QString& file : {data, users}) {
        const ToolRun run = runTool({"dump", file});
        ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
        EXPECT_FALSE(run.out.contains(QByteArray::fromStdString(password)));
        const QJsonObject content = QJsonDocument::fromJson(run.out).object();
        const QJsonArray entries = content["users"].toArray();
        // Shown as stored: an import would drop the exchange file's administrator.
        ASSERT_FALSE(entries.isEmpty());
        EXPECT_EQ(entries[0]["id"], AdministratorAccountId().toQString());
        const auto teacher = std::find_if(entries.begin(), entries.end(), [](const QJsonValue& e) {
            return e["id"] == TeacherAccountId().toQString();
        });
        ASSERT_NE(teacher, entries.end()) << file.toStdString();
        EXPECT_EQ(teacher->toObject()["hasPassword"], true);
        EXPECT_EQ(content["file"], file == users ? "users" : "data");
    }
}

TEST_F(ToolTest, FailuresGiveTheProgramsMessages) {
    const QString missing = path("missing.exd");
    for (const QStringList& args :
         {QStringList{"dump", missing}, QStringList{"resave", missing, path("out.exd")},
          QStringList{"import-studies", missing, missing}}) {
        const ToolRun run = runTool(args);
        EXPECT_EQ(run.exitCode, 1) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(u("Файл %1 не найден").arg(missing))) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(path("out.exd")));

    const QString text = path("text.exd");
    {
        QFile file(text);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(4096, 'x'));
    }
    for (const QStringList& args :
         {QStringList{"dump", text}, QStringList{"resave", text, path("out.exd")}}) {
        const ToolRun run = runTool(args);
        EXPECT_EQ(run.exitCode, 1);
        EXPECT_TRUE(run.err.contains(u("Ошибка чтения $800300FB"))) << run.err.toStdString();
    }

    // A compound file of none of the three kinds.
    const QString other = path("other.exd");
    {
        CompoundFileWriter writer(other);
        writer.root().writeStream("Version", std::string(1, '\3'));
        writer.root().createStorage("Something");
        writer.commit();
    }
    const ToolRun unknown = runTool({"dump", other});
    EXPECT_EQ(unknown.exitCode, 1);
    EXPECT_TRUE(unknown.err.contains(other)) << unknown.err.toStdString();

    const ToolRun nowhere = runTool({"init", path("no-such-folder/KvalorData.exd")});
    EXPECT_EQ(nowhere.exitCode, 1);
    EXPECT_TRUE(nowhere.err.contains(u("Ошибка записи"))) << nowhere.err.toStdString();
}

TEST_F(ToolTest, AFailedImportLeavesTheDataFileAsItWas) {
    const QString data = initFile();
    const QString results = path("Studies.exd");
    writeResultsFile(data, results);
    const QByteArray before = fileBytes(data);
    ASSERT_FALSE(before.isEmpty());
    // The first file would import; the second does not exist.
    const ToolRun run = runTool({"import-studies", data, results, path("missing.exd")});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_TRUE(run.err.contains(u("не найден"))) << run.err.toStdString();
    EXPECT_EQ(fileBytes(data), before);
    EXPECT_TRUE(dump(data)["studies"].toArray().isEmpty());
}

// Names of the simple tests of a dump, and the question texts of one of them.
QStringList simpleTestNames(const QJsonObject& data) {
    QStringList names;
    for (const QJsonValue& test : data["simpleTests"].toArray()) {
        names << test["name"].toString();
    }
    return names;
}

QStringList questionTexts(const QJsonObject& data, const QString& testName) {
    QStringList texts;
    for (const QJsonValue& test : data["simpleTests"].toArray()) {
        if (test["name"] == testName) {
            QJsonArray questions;
            collectQuestions(test.toObject(), questions);
            for (const QJsonValue& question : questions) {
                texts << question["text"].toString();
            }
        }
    }
    return texts;
}

TEST_F(ToolTest, ImportQuestionsReportsAndWritesOnlyWhatCameIn) {
    const QString data = initFile();
    const QString gift = path("Химия.gift");
    {
        QFile file(gift);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("Вода? {=H2O ~CO2}\n\nЭссе о воде {}\n");
    }
    const ToolRun fresh = runTool({"import-questions", data, gift});
    EXPECT_EQ(fresh.exitCode, 0) << fresh.err.toStdString();
    EXPECT_EQ(QString::fromUtf8(fresh.out),
              u("Импортировано вопросов: 1 в новый тест «Химия»\nПропущено вопросов: 1\n"
                "Строка 3: пропущено «Эссе о воде» — эссе: в Квалоре нет такого типа вопроса\n"));
    EXPECT_EQ(simpleTestNames(dump(data)), QStringList({u("Демонстрационный тест"), u("Химия")}));

    // Into a test found by name, letter case ignored.
    const ToolRun named = runTool({"import-questions", data, gift, "--test", u("ХИМИЯ")});
    EXPECT_EQ(named.exitCode, 0) << named.err.toStdString();
    EXPECT_EQ(questionTexts(dump(data), u("Химия")), QStringList({u("Вода?"), u("Вода?")}));

    // Nothing to import, or a file that is no text: the data file stays as it was.
    const QByteArray before = fileBytes(data);
    const QString essays = path("essays.gift");
    const QString binary = path("binary.txt");
    {
        QFile file(essays);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("Эссе {}\n");
        QFile noise(binary);
        ASSERT_TRUE(noise.open(QIODevice::WriteOnly));
        noise.write(QByteArray("\x01\x00\x02\x00", 4));
    }
    const ToolRun none = runTool({"import-questions", data, essays, "--test", u("Новый")});
    EXPECT_EQ(none.exitCode, 0) << none.err.toStdString();
    EXPECT_TRUE(QString::fromUtf8(none.out).startsWith(u("Импортировано вопросов: 0\n")));
    const ToolRun refused = runTool({"import-questions", data, binary});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_EQ(refused.err,
              u("kvalor-tool: Файл «binary.txt» не является текстовым файлом вопросов\n"));
    EXPECT_EQ(fileBytes(data), before);
}

TEST_F(ToolTest, ExportQuestionsWritesTheFormatOfTheSuffixOrTheOption) {
    const QString data = initFile();
    const QString demo = u("Демонстрационный тест");
    const ToolRun xml =
        runTool({"export-questions", data, demo, path("demo.dat"), "--format", "xml"});
    EXPECT_EQ(QString::fromUtf8(xml.out), u("Записано вопросов: 4\n")) << xml.err.toStdString();
    EXPECT_TRUE(fileBytes(path("demo.dat")).startsWith("<?xml"));
    const ToolRun gift =
        runTool({"export-questions", data, u("демонстрационный ТЕСТ"), path("demo.txt")});
    EXPECT_EQ(
        QString::fromUtf8(gift.out),
        u("Записано вопросов: 3\nПропущено вопросов: 1\nВопрос 4: пропущено «Расположите "
          "планеты по удалённости от Солнца,…» — в формате GIFT нет вопросов на упорядочение\n"));
    EXPECT_EQ(runTool({"export-questions", data, demo, path("demo.doc")}).exitCode, 1);
}

TEST_F(ToolTest, CommandsThatWriteADataFileWaitForItsLock) {
    const QString data = initFile();
    const QString other = initFile("Other.exd");
    const QString results = path("Studies.exd");
    writeResultsFile(data, results);
    const QString questions = path("questions.gift");
    {
        QFile file(questions);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("Вода? {=H2O ~CO2}\n");
    }
    const QByteArray before = fileBytes(data);
    {
        // As a running program holds it.
        const DataFileLock running(data);
        for (const QStringList& args :
             {QStringList{"init", data}, QStringList{"init", "--empty", data},
              QStringList{"resave", data, data}, QStringList{"resave", other, data},
              QStringList{"import-studies", data, results},
              QStringList{"import-questions", data, questions}}) {
            const ToolRun run = runTool(args);
            EXPECT_EQ(run.exitCode, 1) << args.join(' ').toStdString();
            EXPECT_TRUE(run.err.contains(u("Файл данных %1 уже используется").arg(data)))
                << run.err.toStdString();
        }
        EXPECT_EQ(fileBytes(data), before);
        // Reading is no writing: a copy of what the program saved last.
        EXPECT_EQ(runTool({"resave", data, path("Copy.exd")}).exitCode, 0);
        EXPECT_EQ(dump(path("Copy.exd"))["users"], dump(data)["users"]);
    }

    // Free again; an empty data file holds the built-in accounts alone.
    ASSERT_EQ(runTool({"init", data, "--empty"}).exitCode, 0);
    const QJsonObject empty = dump(data);
    EXPECT_EQ(empty["users"].toArray().size(), 3);
    EXPECT_TRUE(empty["simpleTests"].toArray().isEmpty());
    EXPECT_TRUE(empty["complexTests"].toArray().isEmpty());
}

TEST_F(ToolTest, ExportsWriteTheTestAndTheJournalAsWorkbooks) {
    using namespace kvalor::workbooktest;
    const QString data = initFile();
    ASSERT_GT(writeResultsFile(data, path("Studies.exd")).questionCount, 0);
    ASSERT_EQ(runTool({"import-studies", data, path("Studies.exd")}).exitCode, 0);

    const QString test = path("test.xlsx");
    const ToolRun withAnswers =
        runTool({"export-test", "--answers", data, u("демонстрационный тест"), test});
    EXPECT_EQ(withAnswers.exitCode, 0) << withAnswers.err.toStdString();
    const QString journal = path("journal.xlsx");
    const ToolRun journalRun = runTool({"export-journal", data, journal});
    EXPECT_EQ(journalRun.exitCode, 0) << journalRun.err.toStdString();
    const ToolRun missing = runTool({"export-test", data, u("Нет такого"), path("missing.xlsx")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, u("kvalor-tool: Простой тест «Нет такого» не найден\n"));
    EXPECT_FALSE(QFile::exists(path("missing.xlsx")));

    KVALOR_READ_WORKBOOK(testBook, test);
    EXPECT_EQ(row(testBook, 1, 3), u("Демонстрационный тест||"));
    EXPECT_TRUE(rows(testBook, 3).contains(u("Ответ 2|4|+")));
    KVALOR_READ_WORKBOOK(journalBook, journal);
    EXPECT_EQ(row(journalBook, 2, 1), u("Демонстрационный тест"));
    EXPECT_EQ(row(journalBook, 3, 1), u("Иванов П.С."));
    EXPECT_TRUE(value(journalBook, u("D3")).startsWith(u("100")))
        << value(journalBook, u("D3")).toStdString();
}

// The figures of the class table, computed by hand in the tests of the statistics.
TEST_F(ToolTest, StatsGivesTheFiguresOfATestAsJson) {
    const QString data = path("Class.exd");
    std::vector<QString> questionIds, firstAnswerIds;
    {
        TKvalor root;
        BuildEmptyData(root);
        auto test = std::make_unique<TQuestions>(kGroupKindSimpleTest);
        test->SetName(toCp1251(u("Класс")));
        testdata::ClassTable table(*test);
        root.SimpleTests().AddCollection(std::move(test));
        for (TQuestion* question : {table.q1, table.q2, table.q3, table.q4}) {
            questionIds.push_back(question->Id().toQString());
        }
        firstAnswerIds.push_back(table.q1->Answers().AnswerAt(0)->Id().toQString());
        for (auto& study : table.studies) {
            study->SetUser(root.Users().Applicant());
            study->SetUserId(ApplicantAccountId());
            root.Studies().Append(std::move(study));
        }
        root.SaveToFile(data);
    }
    const ToolRun run = runTool({"stats", data, u("класс"), "--json"});
    ASSERT_EQ(run.exitCode, 0) << run.err.toStdString();
    const QJsonObject figures = QJsonDocument::fromJson(run.out).object();
    EXPECT_EQ(figures.keys(), (QStringList{"grades", "histogram", "kr20", "max", "mean", "median",
                                           "min", "questions", "sd", "studies"}));
    EXPECT_EQ(figures["studies"], 6);
    EXPECT_NEAR(figures["mean"].toDouble(), 50.0, 1e-12);
    EXPECT_NEAR(figures["kr20"].toDouble(), 1.5 * (1 - 19.0 / 33), 1e-12);
    EXPECT_EQ(figures["histogram"], (QJsonArray{1, 0, 0, 2, 0, 0, 2, 0, 0, 1}));
    EXPECT_EQ(figures["grades"],
              (QJsonObject{{"passed", 0.5}, {"levels", QJsonArray{0.5, 2.0 / 6, 1.0 / 6}}}));
    const QJsonArray questions = figures["questions"].toArray();
    ASSERT_EQ(questions.size(), 4);
    const QJsonObject q1 = questions[0].toObject();
    EXPECT_EQ(q1.keys(), (QStringList{"answers", "discrimination", "facility", "given", "id"}));
    EXPECT_EQ(q1["id"], questionIds[0]);
    EXPECT_EQ(q1["given"], 6);
    EXPECT_NEAR(q1["discrimination"].toDouble(), 0.4, 1e-12);
    EXPECT_EQ(q1["answers"][0], (QJsonObject{{"id", firstAnswerIds[0]}, {"chosen", 5.0 / 6}}));
    EXPECT_TRUE(questions[2]["answers"].toArray().isEmpty());
    // Nobody was given Q4: its figures are null.
    EXPECT_EQ(questions[3]["id"], questionIds[3]);
    EXPECT_TRUE(questions[3]["facility"].isNull() && questions[3]["discrimination"].isNull());
    EXPECT_TRUE(questions[3]["answers"][0]["chosen"].isNull());

    const ToolRun table = runTool({"stats", data, u("Класс")});
    EXPECT_TRUE(QString::fromUtf8(table.out).contains(u("Надёжность (KR-20): 0,64")));
    const ToolRun missing = runTool({"stats", data, u("Нет такого")});
    EXPECT_EQ(missing.exitCode, 1);
    EXPECT_EQ(missing.err, u("kvalor-tool: Тест «Нет такого» не найден\n"));
}

TEST_F(ToolTest, WrongArgumentsGiveTheUsage) {
    const QString file = path("KvalorData.exd");
    for (const QStringList& args :
         {QStringList{}, QStringList{"frobnicate", file}, QStringList{"init"},
          QStringList{"init", file, file}, QStringList{"dump"}, QStringList{"resave", file},
          QStringList{"import-studies", file}, QStringList{"import-questions", file},
          QStringList{"import-questions", file, file, "--test"},
          QStringList{"import-questions", file, file, "--name", "x"},
          QStringList{"export-test", file, "x"}, QStringList{"export-test", file, "x", file, "-a"},
          QStringList{"export-journal", file}, QStringList{"make-school", file},
          QStringList{"stats", file}, QStringList{"stats", file, "x", "--answers"}}) {
        const ToolRun run = runTool(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains("kvalor-tool init")) << args.join(' ').toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
    EXPECT_FALSE(QFile::exists(file));

    // A mistake in the options is named before the usage.
    for (const auto& [args, message] : std::vector<std::pair<QStringList, QString>>{
             {{"init", "--dat", file}, u("Неизвестный параметр --dat")},
             {{"dump", file, "--empty"}, u("Команда dump не принимает параметр --empty")},
             {{"export-test", file, "x", file, "--answers=1"},
              u("Параметр --answers указывается без значения")},
             {{"import-questions", file, file, "--test"}, u("После --test не указано имя теста")},
             {{"export-questions", file, "x", file, "--format"},
              u("После --format не указан формат")}}) {
        const ToolRun run = runTool(args);
        EXPECT_EQ(run.exitCode, 2) << args.join(' ').toStdString();
        EXPECT_TRUE(run.err.startsWith("kvalor-tool: " + message + "\n")) << run.err.toStdString();
    }

    const ToolRun help = runTool({"--help"});
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.out.contains("import-studies"));
    const ToolRun version = runTool({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_TRUE(version.out.startsWith("kvalor-tool 0.")) << version.out.toStdString();
}

}  // namespace
