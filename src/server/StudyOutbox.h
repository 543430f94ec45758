#pragma once

#include <chrono>

#include <QString>

namespace kvalor {

class RecoveryFile;
class TServerStore;
class TStudy;

// The wait before another attempt after that many failures in a row: about 1 s after the
// first, then 2 s (a quarter more or less at random).
std::chrono::milliseconds RetryDelay(int failures);

// A seat's finished studies that the server has not confirmed yet, kept in the recovery file so
// that a seat closed or killed meanwhile sends them at its next start. Sending a study twice
// changes nothing on the server, so a confirmation lost on the way costs nothing either.
class StudyOutbox {
public:
    // The pending studies are those the file holds (after its Load).
    explicit StudyOutbox(RecoveryFile& file);

    // Keeps the study in the file; raises when the disk refuses.
    void Enqueue(const TStudy& study);
    // Sends the pending studies in their order, forgetting each one the server confirmed;
    // stops at the first failure and returns false, its text in LastError().
    bool Deliver(TServerStore& store);
    int Pending() const;
    // The RetryDelay of the failures of Deliver in a row: 1 s again after a delivery.
    std::chrono::milliseconds NextRetry() const { return RetryDelay(failures_); }
    const QString& LastError() const { return lastError_; }

private:
    RecoveryFile& file_;
    int failures_ = 0;
    QString lastError_;
};

}  // namespace kvalor
