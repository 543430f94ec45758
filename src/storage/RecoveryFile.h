#pragma once

#include <QString>

#include "model/StudyList.h"

namespace kvalor {

class TStudy;

// The results journaled since the data file was last saved, kept beside it in a Studies file
// ("KvalorData.recovery.exd" beside "KvalorData.exd"), so that a crash or a power cut between
// two saves of the data file loses none of them. Being a Studies file, it can also be
// imported by hand.
class RecoveryFile {
public:
    explicit RecoveryFile(const QString& dataFileName);
    RecoveryFile(const RecoveryFile&) = delete;
    RecoveryFile& operator=(const RecoveryFile&) = delete;

    static QString FileNameFor(const QString& dataFileName);

    const QString& FileName() const { return fileName_; }
    // The studies recorded (or found by Load) and not yet discarded.
    int Count() const { return pending_.Count(); }
    const TStudyList& Pending() const { return pending_; }

    // Takes the studies of a file that an earlier run left behind as the pending ones; false
    // when there is none. A file that cannot be read raises its KvalorError and is left as it
    // is, with nothing pending.
    bool Load();
    // Renames a file that cannot be read to a free name beside it, and returns that name.
    QString SetAside() const;
    // Writes the pending studies that the filter picks to a new Studies file under a free name
    // beside this one, returns that name and no longer counts them as pending; the file on disk
    // keeps them until it is next written. Nothing is taken when the write fails.
    QString KeepApart(const TStudyList::StudyFilter& picked);
    // Keeps a copy of the study (as stored, without references) and rewrites the file with
    // every pending study, atomically.
    void Record(const TStudy& study);
    // A study deleted from the journal is no result to recover: its copy goes, and the file is
    // rewritten (or removed when nothing is left).
    void Forget(const TStudy& study);
    // For after a successful save of the data file: forgets the pending studies and removes
    // the file.
    void Discard();

private:
    void Write();
    // "<base>.<tag>.exd", then "<base>.<tag>-2.exd", ... beside the file, for the attempt (1 on).
    QString NameBeside(const QString& tag, int attempt) const;

    QString fileName_;
    TStudyList pending_;
};

}  // namespace kvalor
