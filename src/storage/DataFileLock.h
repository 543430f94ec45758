#pragma once

#include <QString>
#include <QStringList>

#include "storage/CompoundFile.h"

namespace kvalor {

// One writer per data file. A run of the program, and every kvalor-tool command that writes a
// data file, holds an exclusive BSD lock (flock) on a file beside it for as long as it may
// write the data file. The lock belongs to the open file, so it conflicts between processes
// and users alike, and the system drops it when its holder ends, however it ends: a crashed
// run never blocks the next start.
class DataFileLock {
public:
    // Takes the lock, or fails with a KvalorError: the data file is in use by another process,
    // or the lock file cannot be opened. Holding it, removes the temporary files that killed
    // saves of the data file and of its companions (the files written beside it under the same
    // lock) left behind. In a folder that is missing or read-only, where no lock file exists and
    // none can be made, it holds nothing: nobody can write there.
    explicit DataFileLock(const QString& dataFileName, const QStringList& companions = {});

    const QString& LockFileName() const { return lockFileName_; }
    bool Held() const { return fd_.isOpen(); }

    // "<data file>.lock" in the folder the data file really lies in, so that every name of one
    // data file leads to one lock.
    static QString LockFileNameFor(const QString& dataFileName);

private:
    QString lockFileName_;
    detail::UniqueFd fd_;
};

}  // namespace kvalor
