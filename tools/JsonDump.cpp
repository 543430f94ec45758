#include "JsonDump.h"

#include <cstdint>
#include <optional>
#include <string>
#include <unordered_map>

#include <QJsonArray>
#include <QJsonValue>

#include "model/Answers.h"
#include "model/CollectionHelpers.h"
#include "model/Competitor.h"
#include "model/Competitors.h"
#include "model/ExamineQuestions.h"
#include "model/Kvalor.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/Study.h"
#include "model/StudyList.h"
#include "model/TaskList.h"
#include "storage/CompoundFile.h"
#include "storage/DataStreams.h"
#include "util/ByteStream.h"
#include "util/Codepage.h"
#include "util/DateTime.h"
#include "util/Error.h"
#include "util/Guid.h"

namespace kvalor {

namespace {

enum class FileKind { Data, Studies, Users };

// The storages tell the kinds apart: only a data file has the tests, and an exchange file
// holds the users alone.
FileKind kindOf(const CompoundStorageReader& root, const QString& fileName) {
    if (root.findStorage(kSimpleTestsStorage)) {
        return FileKind::Data;
    }
    if (root.findStorage(kCompetitorsStorage)) {
        return FileKind::Users;
    }
    if (root.findStorage(kStudiesStorage)) {
        return FileKind::Studies;
    }
    throw KvalorError(
        QString::fromUtf8(
            "Файл %1 не является файлом данных, файлом результатов или файлом пользователей")
            .arg(fileName));
}

QJsonValue storedOptions(const CompoundStorageReader& root) {
    const std::optional<StoredOptions> options = ReadStoredOptions(root);
    if (!options) {
        return QJsonValue();
    }
    return QJsonArray{options->first, options->second};
}

QJsonValue text(const std::string& bytes) {
    return fromCp1251(bytes);
}

QJsonValue id(const Guid& value) {
    return value.toQString();
}

// Names of everything a task or a study can refer to, by id.
class NameIndex {
public:
    explicit NameIndex(const TKvalor& root) {
        addGroups(root.SimpleTests());
        addGroups(root.ComplexTests());
        for (const TExaminerElement* account : CollectItems(root.Users(), "TCompetitor", true)) {
            names_.emplace(account->Id(), account->GetName());
        }
    }

    // The name, or null when nothing of this data has the id.
    QJsonValue operator()(const Guid& key) const {
        const auto it = names_.find(key);
        return it == names_.end() ? QJsonValue() : text(it->second);
    }

private:
    void addGroups(TQuestions& root) {
        for (const TExaminerCollection* group : CollectCollections(root, "TQuestions")) {
            if (group != &root) {
                names_.emplace(group->Id(), group->GetName());
            }
        }
    }

    std::unordered_map<Guid, std::string> names_;
};

QJsonArray numbers(const AnswerIndexes& values) {
    QJsonArray array;
    for (const std::int32_t value : values) {
        array.append(value);
    }
    return array;
}

QJsonArray doubles(const std::vector<double>& values) {
    QJsonArray array;
    for (const double value : values) {
        array.append(value);
    }
    return array;
}

// An element of a class the dump does not know: what every element has.
QJsonObject otherElement(const TExaminerElement& element) {
    return {{"entry", "element"},
            {"class", QString::fromLatin1(element.ClassName())},
            {"id", id(element.Id())},
            {"kind", element.GetKind()},
            {"name", text(element.GetName())}};
}

QJsonObject answerJson(const TAnswer& answer) {
    return {{"id", id(answer.Id())},
            {"text", text(answer.GetName())},
            {"correct", answer.Correct()},
            {"correctPosition", answer.CorrectPosition()}};
}

QJsonObject questionJson(const TQuestion& question) {
    QJsonArray answers;
    const TAnswers& list = question.Answers();
    for (int i = 0; i < list.Count(); ++i) {
        if (const TAnswer* answer = list.AnswerAt(i)) {
            answers.append(answerJson(*answer));
        }
    }
    return {{"entry", "question"},
            {"id", id(question.Id())},
            {"number", question.GetNumber()},
            {"text", text(question.GetName())},
            {"questionType", question.QuestionType()},
            {"allowMix", list.AllowMix()},
            {"answers", answers}};
}

QJsonObject groupJson(const TQuestions& group) {
    QJsonArray entries;
    for (int i = 0; i < group.Count(); ++i) {
        if (const TExaminerCollection* collection = group.CollectionAt(i)) {
            if (const auto* nested = dynamic_cast<const TQuestions*>(collection)) {
                QJsonObject entry = groupJson(*nested);
                entry.insert("entry", "group");
                entries.append(entry);
            }
        } else if (const TExaminerElement* element = group.ElementAt(i)) {
            const auto* question = dynamic_cast<const TQuestion*>(element);
            entries.append(question ? questionJson(*question) : otherElement(*element));
        }
    }
    return {{"id", id(group.Id())},
            {"number", group.GetNumber()},
            {"name", text(group.GetName())},
            {"groupKind", group.GroupKind()},
            {"duration", group.Duration()},
            {"gradingMethod", group.GradingMethod()},
            {"passPercent", group.PassPercent()},
            {"levelCount", group.LevelCount()},
            {"levelThresholds", doubles(group.LevelThresholds())},
            {"mixQuestions", group.MixQuestions()},
            {"mixGroups", group.MixGroups()},
            {"mixAnswers", group.MixAnswers()},
            {"breakGroups", group.BreakGroups()},
            {"entries", entries}};
}

QJsonArray testsJson(const TQuestions& root) {
    QJsonArray tests;
    for (int i = 0; i < root.Count(); ++i) {
        if (const auto* test = dynamic_cast<const TQuestions*>(root.CollectionAt(i))) {
            tests.append(groupJson(*test));
        }
    }
    return tests;
}

QJsonObject accountJson(const TCompetitor& account) {
    QJsonArray fields;
    for (const std::string& field : account.Fields()) {
        fields.append(text(field));
    }
    return {{"entry", "account"},
            {"id", id(account.Id())},
            {"name", text(account.GetName())},
            {"role", account.Role()},
            {"fields", fields},
            {"hasPassword", !account.HasNoPassword()}};
}

// Accounts and groups in list order, groups with their own entries.
QJsonArray usersJson(const TExaminerCollection& list) {
    QJsonArray entries;
    for (int i = 0; i < list.Count(); ++i) {
        if (const TExaminerCollection* group = list.CollectionAt(i)) {
            entries.append(QJsonObject{{"entry", "group"},
                                       {"id", id(group->Id())},
                                       {"name", text(group->GetName())},
                                       {"entries", usersJson(*group)}});
        } else if (const TExaminerElement* element = list.ElementAt(i)) {
            const auto* account = dynamic_cast<const TCompetitor*>(element);
            entries.append(account ? accountJson(*account) : otherElement(*element));
        }
    }
    return entries;
}

QJsonArray tasksJson(const TTaskList& tasks, const NameIndex& names) {
    QJsonArray array;
    for (int i = 0; i < tasks.Count(); ++i) {
        const TTask& task = tasks.Task(i);
        array.append(QJsonObject{{"complexTestId", id(task.ComplexTestId)},
                                 {"complexTestName", names(task.ComplexTestId)},
                                 {"sourceId", id(task.SourceId)},
                                 {"sourceName", names(task.SourceId)},
                                 {"questionCount", task.QuestionCount}});
    }
    return array;
}

QJsonObject studyJson(const TStudy& study, const NameIndex& names) {
    QJsonArray questions;
    const TExamineQuestions& records = study.Questions();
    for (int i = 0; i < records.Count(); ++i) {
        const ExamineRecord record = records.At(i);
        questions.append(QJsonObject{{"questionId", id(record.QuestionId)},
                                     {"given", numbers(record.Given)},
                                     {"right", record.Right},
                                     {"order", numbers(record.Order)}});
    }
    return {{"date", fromStoredDateTime(study.Date()).toString(Qt::ISODateWithMs)},
            {"dateValue", study.Date()},
            {"mode", study.Mode()},
            {"userId", id(study.UserId())},
            {"userName", names(study.UserId())},
            {"testId", id(study.TestId())},
            {"testName", names(study.TestId())},
            {"state", study.State()},
            {"passPercent", study.PassPercent()},
            {"percent", study.Percent()},
            {"correctCount", study.CorrectCount()},
            {"grade", study.Grade()},
            {"passed", study.Passed()},
            {"questions", questions}};
}

QJsonArray studiesJson(const TStudyList& studies, const NameIndex& names) {
    QJsonArray array;
    for (int i = 0; i < studies.Count(); ++i) {
        array.append(studyJson(studies.StudyAt(i), names));
    }
    return array;
}

}  // namespace

std::optional<StoredOptions> ReadStoredOptions(const CompoundStorageReader& root) {
    const std::optional<CompoundStreamReader> stream = root.findStream(kVersionStream);
    const std::string bytes = stream ? stream->readAll() : std::string();
    if (bytes.size() < 3) {
        return std::nullopt;
    }
    return StoredOptions{static_cast<std::uint8_t>(bytes[1]), static_cast<std::uint8_t>(bytes[2])};
}

void InsertDataLists(QJsonObject& dump, const TKvalor& root) {
    const NameIndex names(root);
    dump.insert("simpleTests", testsJson(root.SimpleTests()));
    dump.insert("complexTests", testsJson(root.ComplexTests()));
    dump.insert("users", usersJson(root.Users()));
    dump.insert("tasks", tasksJson(root.Tasks(), names));
    dump.insert("studies", studiesJson(root.Studies(), names));
}

QJsonObject DumpFile(const QString& fileName) {
    RequireExistingFile(fileName);
    // A root object of our own: its constructor makes the readers create accounts and groups.
    TKvalor root;
    QJsonObject dump;
    FileKind kind;
    {
        const CompoundFileReader file(fileName);
        const CompoundStorageReader& top = file.root();
        kind = kindOf(top, fileName);
        const int version = ReadFormatVersion(top);
        dump.insert("version", version);
        if (kind == FileKind::Data) {
            dump.insert("options", storedOptions(top));
        } else if (kind == FileKind::Users) {
            // Read as stored: an import would drop the file's administrator and sort the list.
            ByteStream stream =
                ReadDataStream(top.storage(kCompetitorsStorage), version,
                               StorageTitle(kCompetitorsStorage, StoredFile::Users));
            LoadUsersStream(root.Users(), stream, ReadContext{version});
        }
    }
    switch (kind) {
        case FileKind::Data: {
            root.LoadFromFile(fileName, false);
            dump.insert("file", "data");
            InsertDataLists(dump, root);
            break;
        }
        case FileKind::Users:
            dump.insert("file", "users");
            dump.insert("users", usersJson(root.Users()));
            break;
        case FileKind::Studies:
            root.Studies().LoadFromFile(fileName);
            dump.insert("file", "studies");
            dump.insert("studies", studiesJson(root.Studies(), NameIndex(root)));
            break;
    }
    return dump;
}

}  // namespace kvalor
