#include "server/StudyOutbox.h"

#include <algorithm>
#include <memory>

#include "model/Study.h"
#include "server/ServerStore.h"
#include "storage/RecoveryFile.h"
#include "util/Error.h"
#include "util/Random.h"

namespace kvalor {

std::chrono::milliseconds RetryDelay(int failures) {
    using std::chrono::seconds;
    // Short enough that a seat notices a server that is back within a few seconds; a refused
    // attempt costs the server next to nothing, even from a whole room. A quarter more or less
    // at random, so that the seats of a room do not all come back in the same instant.
    const std::chrono::milliseconds wait = seconds(std::clamp(failures, 1, 2));
    return wait * (750 + randomBelow(501)) / 1000;
}

StudyOutbox::StudyOutbox(RecoveryFile& file) : file_(file) {}

void StudyOutbox::Enqueue(const TStudy& study) {
    file_.Record(study);
}

int StudyOutbox::Pending() const {
    return file_.Count();
}

bool StudyOutbox::Deliver(TServerStore& store) {
    try {
        while (file_.Count() > 0) {
            const std::unique_ptr<TStudy> next =
                RecoveryFile::StoredCopy(file_.Pending().StudyAt(0));
            store.WriteStudy(*next);
            file_.Forget(*next);
        }
    } catch (const KvalorError& error) {
        ++failures_;
        lastError_ = error.message();
        return false;
    }
    failures_ = 0;
    lastError_.clear();
    return true;
}

}  // namespace kvalor
