#pragma once

// Reading written workbooks back with an independent reader, and the tests, accounts and
// studies the workbook tests export.

#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>
#include <QByteArray>
#include <QDateTime>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLocale>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include "model/Answers.h"
#include "model/Competitor.h"
#include "model/Competitors.h"
#include "model/Question.h"
#include "model/QuestionBuilders.h"
#include "model/Questions.h"
#include "model/Study.h"
#include "model/StudyList.h"
#include "model/TypeIds.h"
#include "support/PythonScript.h"
#include "util/Codepage.h"
#include "util/DateTime.h"

namespace kvalor::workbooktest {

inline QString u(const char* utf8) {
    return QString::fromUtf8(utf8);
}

// The first sheet of the workbook as xlsx_dump.py of this folder reads it with openpyxl;
// nullopt when no interpreter with openpyxl is available. A failure of the script fails the
// test.
inline std::optional<QJsonObject> readWorkbook(const QString& file) {
    const auto run =
        testsupport::runPythonScript(QStringLiteral("exchange/xlsx_dump.py"), {file});
    if (!run) {
        return std::nullopt;
    }
    const QJsonDocument document = QJsonDocument::fromJson(QByteArray::fromStdString(run->output));
    if (!run->succeeded || !document.isObject()) {
        ADD_FAILURE() << "xlsx_dump.py failed: " << run->output;
        return QJsonObject();
    }
    return document.object();
}

// Reads the workbook or skips the test when the reader is missing.
#define KVALOR_READ_WORKBOOK(book, file)                              \
    const std::optional<QJsonObject> book##Read = readWorkbook(file); \
    if (!book##Read) {                                                \
        GTEST_SKIP() << "python3 with openpyxl is not available";     \
    }                                                                 \
    const QJsonObject& book = *book##Read

inline QJsonObject cell(const QJsonObject& book, const QString& address) {
    return book["cells"].toObject()[address].toObject();
}

// The value of a cell as text: numbers without a fraction as integers, none as "".
inline QString value(const QJsonObject& book, const QString& address) {
    const QJsonValue v = cell(book, address)["value"];
    return v.isDouble() ? QString::number(v.toDouble()) : v.toString();
}

// The values of a row from column A on, joined by "|" ("Вопрос 1|Текст|+").
inline QString row(const QJsonObject& book, int number, int columns) {
    QStringList values;
    for (int c = 0; c < columns; ++c) {
        values << value(book, QString(QChar(u'A' + c)) + QString::number(number));
    }
    return values.join(u'|');
}

inline QStringList rows(const QJsonObject& book, int columns) {
    QStringList result;
    for (int r = 1; r <= book["rows"].toInt(); ++r) {
        result << row(book, r, columns);
    }
    return result;
}

inline QStringList merged(const QJsonObject& book) {
    QStringList ranges;
    for (const QJsonValue& range : book["merged"].toArray()) {
        ranges << range.toString();
    }
    return ranges;
}

inline double width(const QJsonObject& book, const char* column) {
    return book["widths"].toObject()[QString::fromLatin1(column)].toDouble();
}

// Tests, accounts and studies of their own, outside the root object; questions and groups are
// added with testdata::addQuestion and addGroup.
class ExportData {
public:
    TQuestions& AddTest(const QString& name, std::uint8_t gradingMethod = 0,
                        double passPercent = 50) {
        auto test = std::make_unique<TQuestions>(kGroupKindSimpleTest);
        test->SetName(toCp1251(name));
        test->SetGradingMethod(gradingMethod);
        test->SetPassPercent(passPercent);
        TQuestions& added = *test;
        tests_.AddCollection(std::move(test));
        return added;
    }

    TCompetitors& AddUsersGroup(const QString& name) {
        auto group = std::make_unique<TCompetitors>();
        group->SetName(toCp1251(name));
        group->NewId();
        TCompetitors& added = *group;
        users_.AddCollection(std::move(group));
        return added;
    }

    // In the group, directly in the users list without one.
    TCompetitor& AddUser(const QString& name, TCompetitors* group = nullptr,
                         const QString& town = {}, const QString& organisation = {}) {
        auto user = std::make_unique<TCompetitor>();
        user->SetName(toCp1251(name));
        user->SetField(9, toCp1251(town));
        user->SetField(8, toCp1251(organisation));
        TCompetitor& added = *user;
        (group != nullptr ? *group : users_).AddCompetitor(std::move(user), true);
        return added;
    }

    // A scored study with one record per question of the test, in test order, answered by
    // the outcomes: 'R' right, 'W' wrong, '-' not answered. Answers shown in stored order.
    TStudy& AddStudy(TCompetitor& user, TQuestions& test, const QDateTime& date,
                     const char* outcomes) {
        auto study = TStudyList::NewStudy(kModeTesting, user, test, toStoredDateTime(date));
        int q = 0;
        addRecords(*study, test, outcomes, q);
        study->SetState(kStudyFinished);
        study->Score();
        TStudy& added = *study;
        studies_.Append(std::move(study));
        return added;
    }

    StudyView Studies() const { return studies_.View(); }
    TCompetitors& Users() { return users_; }

private:
    static void addRecords(TStudy& study, const TExaminerCollection& collection,
                           const char* outcomes, int& q) {
        for (int i = 0; i < collection.Count(); ++i) {
            if (const TExaminerCollection* group = collection.CollectionAt(i)) {
                addRecords(study, *group, outcomes, q);
                continue;
            }
            auto* question = dynamic_cast<TQuestion*>(collection.ElementAt(i));
            TExamineQuestion& record = study.Questions().Items(study.Questions().AddEmpty());
            record.QuestionId = question->Id();
            record.Question = question;
            const int count = question->Answers().Count();
            for (int k = 0; k < count; ++k) {
                record.Order.push_back(k);
            }
            const char outcome = outcomes[q++];
            if (outcome != '-') {
                record.Given = givenFor(*question, outcome == 'R');
            }
        }
    }

    static std::vector<std::int32_t> givenFor(const TQuestion& question, bool right) {
        const TAnswers& answers = question.Answers();
        std::vector<std::int32_t> given;
        if (question.QuestionType() == kSequence) {
            for (int k = 0; k < answers.Count(); ++k) {
                given.push_back(k);
            }
            if (!right) {
                std::swap(given[0], given[1]);
            }
            return given;
        }
        for (int k = 0; k < answers.Count(); ++k) {
            if (answers.AnswerAt(k)->Correct() == right) {
                given.push_back(k);
                if (question.QuestionType() == kSingleAnswer) {
                    break;
                }
            }
        }
        return given;
    }

    TQuestions tests_{kGroupKindRoot};
    TCompetitors users_;
    TStudyList studies_;
};

inline QDateTime at(int year, int month, int day) {
    return QDateTime(QDate(year, month, day), QTime(10, 0));
}

// Percentages and dates shown the Russian way, as on a system whose locale is "C" ("45,00",
// "05.03.2024").
class WorkbookTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(dir_.isValid());
        QLocale::setDefault(QLocale::c());
    }
    void TearDown() override { QLocale::setDefault(QLocale::system()); }
    QString path(const char* name) const { return dir_.filePath(QString::fromUtf8(name)); }

    QTemporaryDir dir_;
};

}  // namespace kvalor::workbooktest
