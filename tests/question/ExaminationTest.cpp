#include <gtest/gtest.h>

#include "QuestionWindowTest.h"

namespace kvalor::examtest {
namespace {

// The countdown as the window's timer drives it: one tick after the clock moved, then an
// extension when the case asks for one. The study records what the staff's journal will show.
TEST_F(QuestionWindowTest, ExaminationCountsDownExpiresAndExtends) {
    const QDateTime noon(QDate(2024, 3, 1), QTime(12, 0));
    const QDateTime lateEvening(QDate(2024, 3, 1), QTime(23, 59, 30));
    // The last remaining time signalled after the tick is -1 when none was.
    struct Case {
        const char* name;
        WindowMode mode;
        QDateTime start;
        int minutes, advance;
        bool held;
        int extension, remaining;
        std::uint8_t state;
        int minutesUsed, allowance;
    };
    const Case cases[] = {
        {"counting down", WindowMode::Testing, noon, 30, 61, false, 0, 1739, kStudyInProgress, 0,
         30},
        {"preparation counts as testing does", WindowMode::Preparation, noon, 5, 299, false, 0, 1,
         kStudyInProgress, 0, 5},
        {"past midnight: thirty minutes, not a day", WindowMode::Testing, lateEvening, 30, 1800,
         false, 0, -1, kStudyTimeIsUp, 30, 0},
        {"held while the close question is open", WindowMode::Testing, noon, 10, 900, true, 0, -1,
         kStudyInProgress, 0, 10},
        {"extended from now", WindowMode::Testing, noon, 10, 600, false, 5, 300, kStudyInProgress,
         10, 5},
    };
    makeTest(0);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        clock_.set(c.start);
        auto study = drawStudy(*applicant_, *test_);
        study->SetAnswers(*single_, {1});
        TExamination examination;
        examination.SetMode(c.mode);
        examination.SetStudy(study.get());
        examination.SetTimeAllowance(c.minutes);
        int remaining = -1;
        TQuestion* resumed = nullptr;
        QObject::connect(&examination, &TExamination::Remaining,
                         [&](qint64 s) { remaining = int(s); });
        QObject::connect(&examination, &TExamination::Resuming, [&](TQuestion* q) { resumed = q; });
        examination.Start();
        remaining = -1;
        clock_.advance(c.advance);
        examination.HoldExpiry(c.held);
        examination.Tick();
        if (c.extension > 0) {
            examination.Extend(c.extension);
            EXPECT_EQ(examination.CountdownStart(), clock_.now());
        }
        EXPECT_EQ(remaining, c.remaining);
        EXPECT_EQ(study->State(), c.state);
        EXPECT_EQ(study->MinutesUsed(), c.minutesUsed);
        EXPECT_EQ(examination.TimeAllowance(), c.allowance);
        // An extension goes on at the first question not answered.
        EXPECT_EQ(resumed, c.extension > 0 ? multiple_ : nullptr);
        examination.SetStudy(nullptr);
    }
}

}  // namespace
}  // namespace kvalor::examtest
