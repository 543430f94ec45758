#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "RecordBytes.h"
#include "model/Answers.h"
#include "model/BuiltinAccounts.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/Study.h"
#include "model/TypeIds.h"
#include "util/ByteStream.h"
#include "util/Error.h"

using namespace kvalor;

namespace {

// A simple test and a study of it whose records are added question by question.
struct Exam {
    TQuestions test{kGroupKindSimpleTest};
    TStudy study;

    Exam() { study.SetTest(&test); }

    // A question of the type whose answers carry the given key, recorded with the given answer.
    TExamineQuestion& add(std::uint8_t type, const std::vector<bool>& key,
                          std::vector<std::int32_t> given) {
        auto question = std::make_unique<TQuestion>();
        for (bool correct : key) {
            auto answer = question->Answers().NewAnswer();
            answer->SetCorrect(correct);
            question->Answers().AddItem(std::move(answer));
        }
        question->SetQuestionType(type);
        auto* raw = question.get();
        test.AddItem(std::move(question));
        auto& record = study.Questions().Items(study.Questions().AddEmpty());
        record.Question = raw;
        record.QuestionId = raw->Id();
        record.Given = std::move(given);
        return record;
    }
    // One-answer questions of two answers, the first right: right ones answered 0, others 1.
    void addChoices(int right, int wrong) {
        for (int i = 0; i < right; ++i) {
            add(kSingleAnswer, {true, false}, {0});
        }
        for (int i = 0; i < wrong; ++i) {
            add(kSingleAnswer, {true, false}, {1});
        }
    }
    void grades(const std::vector<double>& thresholds) {
        test.SetGradingMethod(1);
        test.SetLevelCount(static_cast<std::uint8_t>(thresholds.size()));
        for (std::size_t i = 0; i < thresholds.size(); ++i) {
            test.SetLevelThreshold(static_cast<int>(i), thresholds[i]);
        }
    }
};

const Guid kUser = Guid::fromLiteral("{11111111-2222-4333-8444-555555555555}");
const Guid kTest = Guid::fromLiteral("{AAAAAAAA-BBBB-4CCC-8DDD-EEEEEEEEEEEE}");
const Guid kQuestion1 = Guid::fromLiteral("{00000001-0000-4000-8000-000000000001}");
const Guid kQuestion2 = Guid::fromLiteral("{00000002-0000-4000-8000-000000000002}");

// A study record laid out field by field: two question records, the first answered.
std::string studyRecord(const Guid& userId) {
    RecordBytes record;
    record.f64(45123.5).u8(1).id(userId).id(kTest);
    record.i32(2);
    record.id(kQuestion1).i32(2).i32(0).i32(2).u8(1).i32(3).i32(2).i32(0).i32(1);
    record.id(kQuestion2).i32(0).u8(0).i32(0);
    record.f64(60.0).f64(50.0).i32(1).i32(3).u8(0).u8(2);
    return record.data();
}

}  // namespace

// A threshold is reached exactly when right * 100 >= mark * n, and Percent is the share
// achieved, whatever the number of questions.
TEST(StudyScore, PassMarkIsReachedByTheExactShare) {
    struct Case {
        int right, wrong;
        double passPercent;
        bool passed;
        double percent;
    };
    const Case cases[] = {
        {2, 3, 50.0, false, 40.0},       // not raised to the mark by a rounded count
        {1, 2, 50.0, false, 100.0 / 3},  //
        {3, 3, 50.0, true, 50.0},        //
        {4, 5, 50.0, false, 400.0 / 9},  // 44.4 % is below the mark
        {51, 51, 50.0, true, 50.0},      // a sum of shares would fall just short
        {50, 52, 50.0, false, 5000.0 / 102},
        {3, 0, 100.0, true, 100.0},  //
        {14, 98, 12.5, true, 12.5},  // a mark that is no whole percentage
        {14, 98, std::nextafter(12.5, 13.0), false, 12.5},
        {0, 4, 0.0, true, 0.0},  //
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << c.right << " of " << c.right + c.wrong << " at " << c.passPercent);
        Exam exam;
        exam.test.SetPassPercent(c.passPercent);
        exam.addChoices(c.right, c.wrong);
        EXPECT_EQ(exam.study.Score(), c.passed);
        EXPECT_EQ(exam.study.Passed(), c.passed);
        EXPECT_EQ(exam.study.Percent(), c.percent);
        EXPECT_EQ(exam.study.PassPercent(), c.passPercent);
        EXPECT_EQ(exam.study.CorrectCount(), c.right);
        EXPECT_EQ(exam.study.Grade(), 1);
    }

    // A share just below a mark that rounds up onto it is kept below, so that Percent and
    // Passed never disagree: 1 of 3 is 33.33...3, the mark the double 33.333333333333336.
    Exam third;
    third.test.SetPassPercent(100.0 / 3);
    third.addChoices(1, 2);
    EXPECT_FALSE(third.study.Score());
    EXPECT_LT(third.study.Percent(), third.study.PassPercent());
    EXPECT_NEAR(third.study.Percent(), 100.0 / 3, 1e-13);
}

TEST(StudyScore, GradesFromThresholds) {
    Exam good;
    good.grades({0, 20, 40, 60, 80});
    good.addChoices(65, 35);
    EXPECT_TRUE(good.study.Score());
    EXPECT_EQ(good.study.Grade(), 4);
    EXPECT_EQ(good.study.Percent(), 65.0);

    Exam poor;
    poor.grades({0, 20, 40, 60, 80});
    poor.addChoices(39, 61);
    EXPECT_FALSE(poor.study.Score());
    EXPECT_EQ(poor.study.Grade(), 2);

    Exam zeros;
    zeros.grades({0, 0, 0, 0, 0});
    zeros.addChoices(0, 4);
    EXPECT_TRUE(zeros.study.Score());
    EXPECT_EQ(zeros.study.Grade(), 5);

    // Four levels need grade 2, three need grade 2, two need grade 1.
    Exam four;
    four.grades({0, 50, 70, 90});
    four.addChoices(1, 3);
    EXPECT_FALSE(four.study.Score());
    EXPECT_EQ(four.study.Grade(), 1);
    four.grades({0, 25, 70, 90});
    EXPECT_TRUE(four.study.Score());
    EXPECT_EQ(four.study.Grade(), 2);
    four.grades({0, 25, 70});
    EXPECT_TRUE(four.study.Score());
    four.grades({0, 50, 70});
    EXPECT_FALSE(four.study.Score());
    four.grades({0, 90});
    EXPECT_TRUE(four.study.Score());
    EXPECT_EQ(four.study.Grade(), 1);

    // Two of three (66.7 %) is short of 80 %; 51 of 102 reaches 50 % exactly.
    Exam twoThirds;
    twoThirds.grades({0, 20, 40, 60, 80});
    twoThirds.addChoices(2, 1);
    EXPECT_TRUE(twoThirds.study.Score());
    EXPECT_EQ(twoThirds.study.Grade(), 4);
    EXPECT_EQ(twoThirds.study.Percent(), 200.0 / 3);

    Exam half;
    half.grades({0, 20, 40, 50, 80});
    half.addChoices(51, 51);
    EXPECT_TRUE(half.study.Score());
    EXPECT_EQ(half.study.Grade(), 4);
    half.grades({0, 20, 40, 51, 80});
    half.study.Score();
    EXPECT_EQ(half.study.Grade(), 3);
}

TEST(StudyScore, AnEmptyExaminationDividesNothing) {
    Exam empty;
    empty.test.SetPassPercent(50.0);
    EXPECT_FALSE(empty.study.Score());
    EXPECT_EQ(empty.study.Percent(), 0.0);
    EXPECT_EQ(empty.study.CorrectCount(), 0);
    EXPECT_EQ(empty.study.Grade(), 1);
    empty.test.SetPassPercent(0.0);
    EXPECT_TRUE(empty.study.Score());

    empty.grades({0, 0, 0, 0, 0});
    EXPECT_FALSE(empty.study.Score());
    EXPECT_EQ(empty.study.Grade(), 1);

    TStudy untested;
    EXPECT_THROW(untested.Score(), KvalorError);
}

TEST(StudyScore, JudgesEachQuestionType) {
    Exam exam;
    exam.test.SetPassPercent(100.0);
    const auto& twoMarks = exam.add(kSingleAnswer, {true, false, false}, {0, 1});
    const auto& outOfRange = exam.add(kSingleAnswer, {true, false}, {7});
    const auto& noKeyNoMark = exam.add(kMultipleAnswers, {false, false}, {});
    const auto& noKeyMarked = exam.add(kMultipleAnswers, {false, false}, {1});
    const auto& exactMarks = exam.add(kMultipleAnswers, {true, false, true}, {0, 2});
    const auto& missingMark = exam.add(kMultipleAnswers, {true, false, true}, {2});
    // Shown in the order 1, 2, 0. Put back into the author's order, each answer's place is
    // its own index; left as shown, answer 0 is in place 2, answer 1 in 0, answer 2 in 1.
    auto& sorted = exam.add(kSequence, {false, false, false}, {0, 1, 2});
    sorted.Order = {1, 2, 0};
    auto& leftAsShown = exam.add(kSequence, {false, false, false}, {2, 0, 1});
    leftAsShown.Order = {1, 2, 0};
    auto& orderAsAnswer = exam.add(kSequence, {false, false, false}, {1, 2, 0});
    orderAsAnswer.Order = {0, 1, 2};
    const auto& unanswered = exam.add(kSequence, {false, false}, {});

    exam.study.Score();
    EXPECT_FALSE(twoMarks.Right);
    EXPECT_FALSE(outOfRange.Right);
    EXPECT_FALSE(noKeyNoMark.Right);
    EXPECT_FALSE(noKeyMarked.Right);
    EXPECT_TRUE(exactMarks.Right);
    EXPECT_FALSE(missingMark.Right);
    EXPECT_TRUE(sorted.Right);
    EXPECT_FALSE(leftAsShown.Right);
    EXPECT_FALSE(orderAsAnswer.Right);
    EXPECT_FALSE(unanswered.Right);
    EXPECT_EQ(exam.study.CorrectCount(), 2);

    // A record whose question is gone counts as wrong instead of failing.
    exam.study.Questions().Items(4).Question = nullptr;
    exam.study.Score();
    EXPECT_EQ(exam.study.CorrectCount(), 1);
}

TEST(Study, StateAnswersAndCategories) {
    Exam exam;
    exam.addChoices(1, 1);
    exam.add(kSingleAnswer, {true, false}, {});
    auto* second = exam.study.Questions().Items(1).Question;

    int notified = 0;
    exam.study.SetOnStateChange([&](TStudy& sender) {
        EXPECT_EQ(&sender, &exam.study);
        ++notified;
    });
    exam.study.SetState(kStudyInProgress);
    EXPECT_EQ(notified, 0);

    exam.study.SetAnswers(*second, {0});
    EXPECT_EQ(exam.study.Questions().Items(1).Given, std::vector<std::int32_t>{0});
    exam.study.SetAnswers(*second, {1});
    EXPECT_EQ(exam.study.Questions().Items(1).Given, std::vector<std::int32_t>{1});
    TQuestion stranger;
    exam.study.SetAnswers(stranger, {0});  // no record: nothing happens

    exam.study.Score();
    for (int category = kAnsweredRight; category <= kAllQuestions; ++category) {
        EXPECT_FALSE(exam.study.HasQuestions(category)) << category;
    }
    exam.study.SetState(kStudyFinished);
    exam.study.SetState(kStudyFinished);
    EXPECT_EQ(notified, 1);
    EXPECT_TRUE(exam.study.HasQuestions(kAnsweredRight));
    EXPECT_TRUE(exam.study.HasQuestions(kAnsweredWrong));
    EXPECT_TRUE(exam.study.HasQuestions(kNotAnswered));
    EXPECT_TRUE(exam.study.HasQuestions(kAllQuestions));
    EXPECT_FALSE(exam.study.HasQuestions(4));

    const auto& records = exam.study.Questions();
    EXPECT_EQ(exam.study.SelectQuestions(kAnsweredRight), ExamineQuestionView{&records.Items(0)});
    EXPECT_EQ(exam.study.SelectQuestions(kAnsweredWrong), ExamineQuestionView{&records.Items(1)});
    EXPECT_EQ(exam.study.SelectQuestions(kNotAnswered), ExamineQuestionView{&records.Items(2)});
    EXPECT_EQ(exam.study.SelectQuestions(kAllQuestions).size(), 3u);

    exam.study.SetState(kStudyTimeIsUp);
    EXPECT_EQ(notified, 2);
    exam.study.SetOnStateChange({});
    exam.study.SetState(kStudyFinished);
    EXPECT_EQ(notified, 2);
}

TEST(Study, AssignCopiesDeeplyButNotMinutesOrListener) {
    Exam exam;
    exam.addChoices(1, 1);
    exam.study.SetDate(45000.25);
    exam.study.SetMode(kModeTesting);
    exam.study.SetUserId(kUser);
    exam.study.SetTestId(kTest);
    exam.study.SetMinutesUsed(12);
    exam.study.SetState(kStudyFinished);
    exam.study.Score();

    TStudy copy;
    copy.Questions().AddEmpty();
    copy.SetMinutesUsed(3);
    int notified = 0;
    copy.SetOnStateChange([&](TStudy&) { ++notified; });
    copy.Assign(exam.study);
    EXPECT_EQ(notified, 0);
    EXPECT_EQ(copy.Date(), 45000.25);
    EXPECT_EQ(copy.Mode(), kModeTesting);
    EXPECT_EQ(copy.UserId(), kUser);
    EXPECT_EQ(copy.TestId(), kTest);
    EXPECT_EQ(copy.Test(), &exam.test);
    EXPECT_EQ(copy.State(), kStudyFinished);
    EXPECT_EQ(copy.MinutesUsed(), 3);
    EXPECT_EQ(copy.CorrectCount(), 1);
    EXPECT_EQ(copy.Percent(), 50.0);
    EXPECT_EQ(copy.Grade(), 1);
    ASSERT_EQ(copy.Questions().Count(), 2);
    EXPECT_NE(&copy.Questions().Items(0), &exam.study.Questions().Items(0));
    EXPECT_EQ(copy.Questions().Items(1).Given, std::vector<std::int32_t>{1});
    EXPECT_TRUE(copy.Questions().Items(0).Right);
    exam.study.Questions().Items(1).Given.push_back(0);
    EXPECT_EQ(copy.Questions().Items(1).Given.size(), 1u);
    copy.SetState(kStudyInProgress);
    EXPECT_EQ(notified, 1);
}

TEST(StudyRecord, LayoutFieldByField) {
    const std::string bytes = studyRecord(kUser);
    TStudy study;
    study.Questions().AddEmpty();
    ByteStream in(bytes);
    study.LoadFromStream(in);
    EXPECT_TRUE(in.atEnd());
    EXPECT_EQ(study.Date(), 45123.5);
    EXPECT_EQ(study.Mode(), kModeTesting);
    EXPECT_EQ(study.UserId(), kUser);
    EXPECT_EQ(study.TestId(), kTest);
    EXPECT_EQ(study.User(), nullptr);
    EXPECT_EQ(study.Test(), nullptr);
    ASSERT_EQ(study.Questions().Count(), 2);  // replaced, not appended
    const auto& first = study.Questions().Items(0);
    EXPECT_EQ(first.QuestionId, kQuestion1);
    EXPECT_EQ(first.Question, nullptr);
    EXPECT_EQ(first.Given, (std::vector<std::int32_t>{0, 2}));
    EXPECT_TRUE(first.Right);
    EXPECT_EQ(first.Order, (std::vector<std::int32_t>{2, 0, 1}));
    const auto& second = study.Questions().Items(1);
    EXPECT_TRUE(second.Given.empty());
    EXPECT_FALSE(second.Right);
    EXPECT_TRUE(second.Order.empty());
    EXPECT_EQ(study.PassPercent(), 60.0);
    EXPECT_EQ(study.Percent(), 50.0);
    EXPECT_EQ(study.CorrectCount(), 1);
    EXPECT_EQ(study.Grade(), 3);
    EXPECT_FALSE(study.Passed());
    EXPECT_EQ(study.State(), kStudyTimeIsUp);

    ByteStream out;
    study.SaveToStream(out);
    EXPECT_EQ(out.data(), bytes);

    TStudy applicant;
    ByteStream anonymous(studyRecord(Guid()));
    applicant.LoadFromStream(anonymous);
    EXPECT_EQ(applicant.UserId(), ApplicantAccountId());
}

TEST(StudyRecord, DamagedRecordLeavesTheStudyAsItWas) {
    const std::string bytes = studyRecord(kUser);
    for (std::size_t size = 0; size < bytes.size(); ++size) {
        TStudy study;
        study.SetDate(1.0);
        study.Questions().AddEmpty();
        ByteStream in(bytes.substr(0, size));
        EXPECT_THROW(study.LoadFromStream(in), ReadError) << size;
        EXPECT_EQ(study.Date(), 1.0);
        EXPECT_EQ(study.Questions().Count(), 1);
    }
    // Counts of 2147483647 fail before anything is allocated: questions, Given, Order.
    std::string huge = bytes;
    huge.replace(41, 4, RecordBytes().i32(2147483647).data());
    TStudy study;
    ByteStream questions(huge);
    EXPECT_THROW(study.LoadFromStream(questions), ReadError);
    huge = bytes;
    huge.replace(61, 4, RecordBytes().i32(2147483647).data());
    ByteStream given(huge);
    EXPECT_THROW(study.LoadFromStream(given), ReadError);
    huge = bytes;
    huge.replace(74, 4, RecordBytes().i32(2147483647).data());
    ByteStream order(huge);
    EXPECT_THROW(study.LoadFromStream(order), ReadError);
}
