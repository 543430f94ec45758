#include <gtest/gtest.h>

#include <functional>
#include <map>
#include <sstream>

#include "SampleData.h"
#include "StorageTestSupport.h"

using namespace kvalor;
using namespace storagetest;

namespace {

// A study's records as they read, without taking them apart for editing.
std::string recordsOf(const TStudyList& list, double date) {
    for (int i = 0; i < list.Count(); ++i) {
        const TExamineQuestions& records = list.StudyAt(i).Questions();
        if (list.StudyAt(i).Date() != date) {
            continue;
        }
        std::ostringstream out;
        for (int r = 0; r < records.Count(); ++r) {
            const ExamineRecord record = records.At(r);
            out << record.QuestionId.toString() << (record.Question ? " linked" : " -") << " r"
                << record.Right << " g";
            for (int value : record.Given) {
                out << " " << value;
            }
            out << " o";
            for (int value : record.Order) {
                out << " " << value;
            }
            out << "\n";
        }
        return out.str();
    }
    return "no study";
}

class CompactRecordsTest : public StorageTest {};

}  // namespace

TEST_F(CompactRecordsTest, RecordsReadBackAfterEveryChangeOfTheJournal) {
    const QString dataFile = qpath("Data.exd");
    const QString studiesFile = qpath("Studies.exd");
    std::map<double, std::string> expected;
    {
        TKvalor made;
        const Sample s = fillSample(made);
        auto study = TStudyList::NewStudy(kModeTesting, *s.petrova, *s.second, 45002.0);
        TExamineQuestions& records = study->Questions();
        records.Items(records.AddEmpty()) = {s.question->Id(), s.question, {}, false, {4, 3, 2}};
        records.Items(records.AddEmpty()) = {Guid::create(), nullptr, {7, -1, 300}, true, {}};
        made.Studies().Append(std::move(study));
        made.SaveToFile(dataFile);
        made.Studies().SaveToFile(studiesFile);
        for (double date : {45000.5, 45001.25, 45002.0}) {
            expected[date] = recordsOf(made.Studies(), date);
        }
        expected.erase(45001.25);  // removed by one of the cases
    }

    TKvalor other;
    TStudyList copies;
    const std::map<std::string, std::function<const TStudyList&(TKvalor&)>> cases = {
        {"another study removed",
         [](TKvalor& root) -> const TStudyList& {
             root.Studies().DeleteWhere([](const TStudy& s) { return s.Date() == 45001.25; });
             return root.Studies();
         }},
        {"import of a Studies file",
         [&](TKvalor& root) -> const TStudyList& {
             root.ImportStudies({studiesFile});
             EXPECT_EQ(root.Studies().Count(), 3);
             return root.Studies();
         }},
        {"saved and read back",
         [&](TKvalor& root) -> const TStudyList& {
             root.SaveToFile(qpath("Again.exd"));
             other.LoadFromFile(qpath("Again.exd"), true);
             ByteStream before;
             ByteStream after;
             root.Studies().SaveToStream(before);
             other.Studies().SaveToStream(after);
             EXPECT_EQ(before.data(), after.data());
             return other.Studies();
         }},
        {"copies, the originals edited after",
         [&](TKvalor& root) -> const TStudyList& {
             copies.Clear();
             for (int i = 0; i < root.Studies().Count(); ++i) {
                 TStudy& original = root.Studies().StudyAt(i);
                 copies.StudyAt(copies.Append(std::make_unique<TStudy>())).Assign(original);
                 if (original.Questions().Count() > 0) {
                     original.Questions().Items(0).Given.push_back(9);
                     EXPECT_NE(recordsOf(root.Studies(), original.Date()),
                               recordsOf(copies, original.Date()));
                 }
             }
             return copies;
         }},
    };
    for (const auto& [name, change] : cases) {
        TKvalor root;
        root.LoadFromFile(dataFile, true);
        const TStudyList& list = change(root);
        for (const auto& [date, records] : expected) {
            EXPECT_EQ(recordsOf(list, date), records) << name << ", study of " << date;
        }
    }
}
