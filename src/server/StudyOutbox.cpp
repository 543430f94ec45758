#include "server/StudyOutbox.h"

#include <memory>

#include "model/Study.h"
#include "server/ServerStore.h"
#include "storage/RecoveryFile.h"
#include "util/ByteStream.h"
#include "util/Error.h"

namespace kvalor {

namespace {

// A copy of the study as stored: the file's own copy goes while it is forgotten.
std::unique_ptr<TStudy> copyOf(const TStudy& study) {
    ByteStream record;
    study.SaveToStream(record);
    record.seek(0);
    auto copy = std::make_unique<TStudy>();
    copy->LoadFromStream(record);
    return copy;
}

}  // namespace

std::chrono::milliseconds RetryDelay(int failures) {
    using std::chrono::seconds;
    if (failures <= 1) {
        return seconds(1);
    }
    return failures <= 5 ? seconds(1 << (failures - 1)) : seconds(30);
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
            const std::unique_ptr<TStudy> next = copyOf(file_.Pending().StudyAt(0));
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
