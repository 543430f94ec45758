#include "app/ServerLink.h"

#include <utility>

#include <QApplication>
#include <QSocketNotifier>

#include "app/DataModule.h"
#include "app/NetworkRun.h"
#include "model/Kvalor.h"
#include "server/ServerListener.h"
#include "server/ServerStore.h"
#include "storage/RecoveryFile.h"
#include "ui/ErrorGuard.h"
#include "util/Error.h"

namespace kvalor {

namespace {

// How soon a read of new studies that a busy window put off is tried again.
constexpr int kCatchUpDelayMs = 250;

// A modal window of the examination is up: the applicant is answering.
bool examining() {
    return dataModule().RunMode() == TRunMode::Testing && QApplication::activeModalWidget();
}

}  // namespace

ServerLink::ServerLink(NetworkRun& run, RecoveryFile& recovery, TKvalor& root, DataSaving saving)
    : run_(run),
      root_(root),
      saving_(std::move(saving)),
      recovery_(recovery),
      outbox_(recovery),
      seq_(run.LoadedSeq()) {
    retry_.setSingleShot(true);
    // Failures of the server end in the state; anything else is shown as the program's errors.
    connect(&retry_, &QTimer::timeout, this, guard([this] {
        if (examining()) {
            ScheduleRetry();
        } else {
            Retry();
        }
    }));
    catchUp_.setSingleShot(true);
    catchUp_.setInterval(kCatchUpDelayMs);
    connect(&catchUp_, &QTimer::timeout, this, guard([this] { CatchUp(); }));
    Retry();
}

ServerLink::~ServerLink() = default;

QString ServerLink::StateText() const {
    return connected_ ? QStringLiteral("сервер: %1").arg(run_.ServerName())
                      : QStringLiteral("нет связи с сервером, результатов в очереди: %1")
                            .arg(outbox_.Pending());
}

void ServerLink::Send(const TStudy& study) {
    outbox_.Enqueue(study);
    // While the server is away the timer tries again: no attempt now keeps the seat waiting.
    if (connected_ && !Deliver()) {
        Away(failure_);
        return;
    }
    Report();
}

bool ServerLink::Retry() {
    retry_.stop();
    bool there = Deliver();
    if (there) {
        try {
            Listen();
        } catch (const KvalorError& error) {
            failure_ = error.message();
            there = false;
        }
    }
    if (!there) {
        Away(failure_);
        return false;
    }
    connected_ = true;
    failures_ = 0;
    failure_.clear();
    Report();
    // Whatever the others stored while this seat did not listen.
    return CatchUp();
}

void ServerLink::RequireServer() {
    if (!connected_ && !Retry()) {
        throw KvalorError(
            QStringLiteral("Нет связи с сервером %1, поэтому изменения не сохранены на сервере. "
                           "Они остаются на этом компьютере: сохраните их снова, когда связь "
                           "восстановится.\nПодробности: %2")
                .arg(run_.ServerName(), failure_));
    }
}

bool ServerLink::Deliver() {
    const TStudyList& pending = recovery_.Pending();
    for (int i = 0; i < pending.Count(); ++i) {
        if (saving_.complete(pending.StudyAt(i))) {
            continue;
        }
        // Sent alone, a study of an account the server lacks would be dropped by the next
        // load of any seat: the lists go with it, and the journal's studies with them.
        try {
            saving_.saveAll();
            return true;
        } catch (const KvalorError& error) {
            failure_ = error.message();
            return false;
        }
    }
    if (outbox_.Deliver(run_.Store())) {
        return true;
    }
    failure_ = outbox_.LastError();
    return false;
}

void ServerLink::Listen() {
    if (!listener_) {
        listener_ = std::make_unique<ServerListener>(run_.Where());
    } else {
        // A connection that the server closed meanwhile counts as connected until it is read.
        try {
            Handle(listener_->TakeNotices());
        } catch (const KvalorError&) {
            notifier_.reset();
        }
        listener_->Reconnect();
    }
    if (!notifier_ && listener_->Socket() >= 0) {
        notifier_ = std::make_unique<QSocketNotifier>(listener_->Socket(), QSocketNotifier::Read);
        connect(notifier_.get(), &QSocketNotifier::activated, this,
                guard([this] { SocketReady(); }));
    }
}

void ServerLink::SocketReady() {
    std::vector<ServerNotice> notices;
    try {
        notices = listener_->TakeNotices();
    } catch (const KvalorError& error) {
        Away(error.message());
        return;
    }
    if (Handle(notices)) {
        CatchUp();
    }
}

bool ServerLink::Handle(const std::vector<ServerNotice>& notices) {
    bool studies = false;
    for (const ServerNotice& notice : notices) {
        if (notice.channel == kStudiesChannel) {
            studies = true;
        } else if (notice.channel == kListsChannel) {
            if (const auto words = run_.Store().ChangedList(notice.payload)) {
                emit listsChanged(*words);
            }
        }
    }
    return studies;
}

bool ServerLink::CatchUp() {
    // A modal window may be in the middle of the journal (a save's progress, a question box).
    if (QApplication::activeModalWidget()) {
        catchUp_.start();
        return true;
    }
    TServerStore& store = run_.Store();
    TStudyList read;
    try {
        for (bool more = true; more;) {
            auto batch = store.ReadStudiesAfter(seq_);
            more = batch.size() == 500;
            for (auto& study : batch) {
                read.Append(std::move(study));
            }
        }
    } catch (const KvalorError& error) {
        // What was read stays known to the store: it goes to the journal all the same.
        Away(error.message());
    }
    if (read.Count() == 0) {
        return connected_;
    }
    const TStudyReferences known(root_);
    try {
        root_.SynchronizeStudies(read);
    } catch (...) {
        // Not in the journal, they must not count as known: a save would delete their rows.
        for (int i = 0; i < read.Count(); ++i) {
            store.ForgetStudy(read.StudyAt(i));
        }
        throw;
    }
    // Taken from the back, which is cheap, then appended in the order read.
    std::vector<std::unique_ptr<TStudy>> taken;
    while (read.Count() > 0) {
        taken.push_back(read.Remove(read.StudyAt(read.Count() - 1)));
    }
    StudyView arrived;
    for (auto study = taken.rbegin(); study != taken.rend(); ++study) {
        if (known.HasAccount(**study) && known.HasTest(**study)) {
            arrived.push_back(study->get());
            root_.Studies().Append(std::move(*study));
        } else {
            // It shows after a reload, which the lists' notice of its account or test offers.
            store.ForgetStudy(**study);
        }
    }
    if (!arrived.empty()) {
        emit studiesArrived(arrived);
    }
    return connected_;
}

void ServerLink::Away(const QString& failure) {
    // A lost socket would wake the notifier again and again.
    notifier_.reset();
    connected_ = false;
    failure_ = failure;
    ++failures_;
    Report();
    ScheduleRetry();
}

void ServerLink::Report() {
    emit serverStateChanged(connected_, outbox_.Pending());
}

void ServerLink::ScheduleRetry() {
    retry_.start(RetryDelay(failures_));
}

}  // namespace kvalor
