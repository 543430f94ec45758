#pragma once

#include <cstdint>

#include <QDateTime>
#include <QObject>

#include "question/WindowMode.h"

class QTimer;

namespace kvalor {

struct TExamineQuestion;
class TQuestion;
class TStudy;

// Verdicts on the question shown.
inline constexpr std::uint8_t kVerdictNoAnswer = 0;
inline constexpr std::uint8_t kVerdictRight = 1;
inline constexpr std::uint8_t kVerdictWrong = 2;

// The examination behind the question window: its mode and study, the countdown read from the
// clock, the recording of answers and the finishing. The window shows what this signals and
// asks the applicant's and the staff's questions itself; a tick that finds the time up waits
// while the window asks whether to close.
class TExamination : public QObject {
    Q_OBJECT
public:
    explicit TExamination(QObject* parent = nullptr);
    ~TExamination() override;

    WindowMode Mode() const { return mode_; }
    // Drops the time allowance too.
    void SetMode(WindowMode mode);
    // Preparation or testing: the countdown runs and answers are recorded.
    bool Examining() const;
    TStudy* Study() const { return study_; }
    // Follows the study's state; in preparation and testing its MinutesUsed start at 0.
    void SetStudy(TStudy* study);
    // Minutes of the countdown.
    int TimeAllowance() const { return timeAllowance_; }
    void SetTimeAllowance(int minutes) { timeAllowance_ = minutes; }
    const QDateTime& CountdownStart() const { return countdownStart_; }

    // The countdown starts now, with one tick at once (which may find the time already up);
    // outside preparation and testing nothing counts down.
    void Start();
    // The remaining time from the clock, or the expiry.
    void Tick();
    // After an expiry: more minutes from now, the run back in progress at its first question
    // not answered.
    void Extend(int minutes);
    void HoldExpiry(bool held) { expiryHeld_ = held; }

    // The verdict on the question shown. Preparation judges the answer on screen once the
    // applicant has touched it (modified: a sequence moved since it was shown); review judges
    // the recorded answer; other modes give none.
    std::uint8_t Judge(const TQuestion* question, bool touched, bool modified) const;

    // The study's record of the question, or nullptr.
    const TExamineQuestion* Record(const TQuestion* question) const;
    // Puts the recorded marks back on the question about to be shown. A review shows exactly
    // what was recorded, the order too, not marks or moves left on the question since.
    void RestoreAnswer(TQuestion& question) const;
    // Hands the marks or the order of the question to the study (preparation and testing).
    void RecordAnswer(const TQuestion* question);
    // "Завершить": records the answer on screen, adds the minutes used and finishes the run.
    void Finish(const TQuestion* current);
    // However the window is closed, a graded run in progress ends as "Завершить" ends it.
    // (A preparation given up stays in progress, to be discarded by the caller.)
    void FinishOnClose(const TQuestion* current);
    // The close was refused: back in progress, counting from the same start, so that the time
    // spent in the dialogs counts.
    void Resume();
    // The window has closed: the countdown stops, and a graded run still in progress is
    // finished.
    void Close();

signals:
    void Remaining(qint64 seconds);
    // The time is up; the question on screen is left before the study hears of it, its marks
    // unrecorded.
    void Expiring();
    // The minutes are counted and the study's time is up.
    void Expired();
    // An extension goes on at this question (nullptr: none).
    void Resuming(TQuestion* question);
    void StateChanged();

private:
    void Expire();

    WindowMode mode_ = WindowMode::Editing;
    TStudy* study_ = nullptr;
    int timeAllowance_ = 0;
    QDateTime countdownStart_;
    bool expiryHeld_ = false;
    QTimer* timer_;
};

}  // namespace kvalor
