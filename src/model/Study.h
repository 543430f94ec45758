#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "model/ExamineQuestions.h"
#include "util/ByteStream.h"
#include "util/Guid.h"

namespace kvalor {

class TCompetitor;
class TQuestions;
class TTaskList;

// Question categories of SelectQuestions and HasQuestions.
inline constexpr int kAnsweredRight = 0;
inline constexpr int kAnsweredWrong = 1;
inline constexpr int kNotAnswered = 2;
inline constexpr int kAllQuestions = 3;

// Study states.
inline constexpr std::uint8_t kStudyInProgress = 0;
inline constexpr std::uint8_t kStudyFinished = 1;
inline constexpr std::uint8_t kStudyTimeIsUp = 2;

// Study modes.
inline constexpr std::uint8_t kModePreparation = 0;
inline constexpr std::uint8_t kModeTesting = 1;

// One test run: who took which test when, the questions put with their answer order and the
// answers given, and the result. There is no study id: Date, Mode, UserId and TestId together
// identify a run.
class TStudy {
public:
    using StateChangeHandler = std::function<void(TStudy& sender)>;

    // Date, Mode, UserId, TestId, question count, PassPercent, Percent, CorrectCount, Grade,
    // Passed, State.
    static constexpr std::size_t kMinRecordBytes = 8 + 1 + 16 + 16 + 4 + 8 + 8 + 4 + 4 + 1 + 1;
    // QuestionId, Given count, Right, Order count.
    static constexpr std::size_t kMinQuestionRecordBytes = 16 + 4 + 1 + 4;

    TStudy() = default;
    TStudy(const TStudy&) = delete;
    TStudy& operator=(const TStudy&) = delete;

    // Days since 30 December 1899, with the time of day as fraction.
    double Date() const { return date_; }
    void SetDate(double date) { date_ = date; }
    // kModePreparation or kModeTesting.
    std::uint8_t Mode() const { return mode_; }
    void SetMode(std::uint8_t mode) { mode_ = mode; }
    const Guid& UserId() const { return userId_; }
    void SetUserId(const Guid& id) { userId_ = id; }
    const Guid& TestId() const { return testId_; }
    void SetTestId(const Guid& id) { testId_ = id; }
    // The resolved account and test; the ids stay as they are (linking sets only these).
    TCompetitor* User() const { return user_; }
    void SetUser(TCompetitor* user) { user_ = user; }
    TQuestions* Test() const { return test_; }
    void SetTest(TQuestions* test) { test_ = test; }

    std::uint8_t State() const { return state_; }
    // Stores a different state and notifies the listener; the same state does nothing.
    void SetState(std::uint8_t state);
    // At most one listener; an empty function detaches it.
    void SetOnStateChange(StateChangeHandler handler) { onStateChange_ = std::move(handler); }
    // Held in memory only, never stored.
    std::int32_t MinutesUsed() const { return minutesUsed_; }
    void SetMinutesUsed(std::int32_t minutes) { minutesUsed_ = minutes; }

    TExamineQuestions& Questions() { return questions_; }
    const TExamineQuestions& Questions() const { return questions_; }

    double PassPercent() const { return passPercent_; }
    double Percent() const { return percent_; }
    std::int32_t CorrectCount() const { return correctCount_; }
    std::int32_t Grade() const { return grade_; }
    bool Passed() const { return passed_; }

    // Judges every record and computes PassPercent, Percent, CorrectCount, Grade and Passed
    // from the test's settings; returns Passed. A threshold t is reached exactly when
    // CorrectCount * 100 >= t * n in exact arithmetic, and Percent is the share achieved. A
    // study without records gets Percent 0 and grade 1, and passes only a pass mark of 0 % (or
    // a scale of one or two grades).
    // Raises "Не определена группа вопросов" without a test; a record without its question
    // counts as wrong.
    bool Score();

    // Replaces the Given of the first record of that very question; nothing without one.
    void SetAnswers(const TQuestion& question, std::vector<std::int32_t> indexes);
    // The records of the category (kAnsweredRight ... kAllQuestions), in study order.
    ExamineQuestionView SelectQuestions(int category) const;
    // False while the run is in progress; otherwise whether a record of the category exists.
    bool HasQuestions(int category) const;

    // Copies everything but MinutesUsed and the listener; the records are deep copies.
    void Assign(const TStudy& source);

    // Read and written by storage (storage/StudyRecords.cpp).
    void SaveToStream(ByteStream& stream) const;
    // How many bytes SaveToStream writes.
    std::size_t StoredSize() const;
    // Replaces the fields and records; a failure leaves the study as it was. A null UserId is
    // the built-in applicant account's. The references stay empty until linked.
    void LoadFromStream(ByteStream& stream);

    // Replaces the records by a fresh draw from the test (see QuestionDraw.h); on failure the
    // records stay as they were.
    void DrawQuestions(const TTaskList& tasks, int maximum);

private:
    static bool InCategory(const ExamineRecord& record, int category);

    double date_ = 0.0;
    std::uint8_t mode_ = 0;
    Guid userId_;
    Guid testId_;
    TCompetitor* user_ = nullptr;
    TQuestions* test_ = nullptr;
    std::uint8_t state_ = kStudyInProgress;
    std::int32_t minutesUsed_ = 0;
    TExamineQuestions questions_;
    double passPercent_ = 0.0;
    double percent_ = 0.0;
    std::int32_t correctCount_ = 0;
    std::int32_t grade_ = 0;
    bool passed_ = false;
    StateChangeHandler onStateChange_;
};

}  // namespace kvalor
