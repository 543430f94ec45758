#include "RoomRun.h"

#include <QDir>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <latch>
#include <thread>

#include "Figures.h"
#include "SchoolData.h"
#include "Seat.h"
#include "Teacher.h"
#include "model/Kvalor.h"
#include "model/Study.h"
#include "model/StudyList.h"
#include "server/ServerConnection.h"

namespace kvalor::room {

namespace {

// The tests and accounts the studies refer to, pushed to the server as a school would, and the
// studies themselves taken out for the seats to finish: School-sized, 20 questions each.
std::vector<std::unique_ptr<TStudy>> prepareData(const ServerAddress& where, int count) {
    SchoolShape shape;
    shape.simpleTests = 10;
    shape.complexTests = 1;
    shape.accountGroups = 3;
    shape.studies = count;
    TKvalor root;
    BuildSchoolData(root, shape);
    std::vector<std::unique_ptr<TStudy>> studies;
    while (root.Studies().Count() > 0) {
        studies.push_back(
            root.Studies().Remove(root.Studies().StudyAt(root.Studies().Count() - 1)));
    }
    std::reverse(studies.begin(), studies.end());
    TServerStore(where).Push(root, false);
    return studies;
}

}  // namespace

// Every seat's connections and the teacher's two, with room for the benchmark's own.
RoomRun::RoomRun(const RoomOptions& options)
    : options_(options),
      expected_(options.seats * options.examsPerSeat),
      cluster_({.maxConnections = options.seats * (options.seatsListen ? 2 : 1) + 20,
                .durable = options.durable}),
      where_(cluster_.FreshStore("room")) {
    sampler_.SetServerPid(cluster_.ServerPid());
    std::vector<std::unique_ptr<TStudy>> studies = prepareData(where_, expected_);
    processBefore_ = PeakResidentBytes();
    auto next = studies.begin();
    for (int s = 0; s < options_.seats; ++s, next += options_.examsPerSeat) {
        const QString seatFolder = folder_.path() + QString("/seat-%1").arg(s);
        QDir().mkpath(seatFolder);
        std::vector<std::unique_ptr<TStudy>> own(
            std::make_move_iterator(next), std::make_move_iterator(next + options_.examsPerSeat));
        seats_.push_back(std::make_unique<Seat>(where_, seatFolder, std::move(own),
                                                options_.pauseMs, options_.seatsListen, ledger_));
        seats_.back()->Connect();
    }
}

RoomRun::~RoomRun() = default;

void RoomRun::BreakServer() {
    while (ledger_.CommitCount() < expected_ / 2) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    outage_.stopped = Clock::now();
    sampler_.SetServerPid(0);
    cluster_.StopAbruptly();
    outage_.gone = Clock::now();
    std::this_thread::sleep_for(std::chrono::seconds(options_.outageSeconds));
    outage_.starting = Clock::now();
    cluster_.Start();
    outage_.back = Clock::now();
    sampler_.SetServerPid(cluster_.ServerPid());
}

bool RoomRun::Run() {
    std::atomic<bool> stopTeacher{false};
    Teacher teacher(where_, ledger_);
    std::thread teacherThread([&] { teacher.Run(stopTeacher); });
    std::latch go(1);
    std::vector<std::thread> threads;
    for (auto& seat : seats_) {
        threads.emplace_back([this, &go, &seat] {
            go.wait();
            try {
                seat->Run();
            } catch (const KvalorError& error) {
                ++seatFailures_;
                std::fprintf(stderr, "seat: %s\n", error.message().toUtf8().constData());
            }
        });
    }
    start_ = Clock::now();
    go.count_down();
    if (options_.outage) {
        BreakServer();
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    const Clock::time_point seatsDone = Clock::now();
    // The teacher has time for the last notices, and for a retry after an outage.
    while (ledger_.ArrivalCount() < expected_ && secondsBetween(seatsDone, Clock::now()) < 35.0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    stopTeacher = true;
    teacherThread.join();

    const auto [stored, distinct] = CountRows();
    std::size_t failedAttempts = 0, readBySeats = 0;
    for (const auto& seat : seats_) {
        failedAttempts += seat->Failures().size();
        readBySeats += seat->Read();
    }
    const double storeSeconds = secondsBetween(start_, ledger_.LastCommit());
    std::printf(
        "room: %d seats x %d examinations = %d studies of 20 questions, pause %d ms, "
        "seats %s, server %s\n",
        options_.seats, options_.examsPerSeat, expected_, options_.pauseMs,
        options_.seatsListen ? "listening and reading" : "only writing",
        options_.durable ? "with fsync" : "without fsync");
    std::printf("stored on the server: %lld rows, %lld distinct keys (expected %d)%s\n",
                static_cast<long long>(stored), static_cast<long long>(distinct), expected_,
                stored == expected_ && distinct == expected_ ? "" : "  <-- WRONG");
    std::printf("confirmed to the seats: %d; seats failed: %d; failed delivery attempts: %zu\n",
                ledger_.CommitCount(), seatFailures_.load(), failedAttempts);
    std::printf("stored per second: %.1f (%d studies in %.2f s, first start to last commit)\n",
                ledger_.CommitCount() / storeSeconds, ledger_.CommitCount(), storeSeconds);
    std::printf(
        "teacher: read %d distinct, %d twice; missed %d committed, read %d never "
        "confirmed; %d notices, %d reads, %d failed calls while away\n",
        ledger_.ArrivalCount(), ledger_.DuplicateArrivals(), ledger_.CommittedNotArrived(),
        ledger_.ArrivedNotCommitted(), teacher.Notices(), teacher.Reads(), teacher.Losses());
    if (options_.seatsListen) {
        std::printf("the seats read %zu studies of other seats (%.1f a seat)\n", readBySeats,
                    static_cast<double>(readBySeats) / options_.seats);
    }
    // The commit lies between the seat's sending and its confirmation: both bounds.
    ReportLatency("seat's sending", ledger_.LatenciesFromSent());
    ReportLatency("seat's confirmation", ledger_.LatenciesFromConfirmed());
    std::printf("read by the teacher before the seat had the confirmation: %d\n",
                ledger_.ArrivedBeforeConfirmed());
    if (options_.outage) {
        ReportOutage();
    }
    std::printf(
        "server memory, peak of the sum over its %d processes: RSS %.1f MB; own memory "
        "plus shared once %.1f MB\n",
        sampler_.PeakProcesses(), megabytes(sampler_.PeakRss()), megabytes(sampler_.PeakUnique()));
    const std::size_t processPeak = PeakResidentBytes();
    std::printf(
        "seats' process (all seats and the teacher) VmHWM: %.1f MB; %.1f MB before the "
        "seats connected; %.2f MB a seat\n",
        megabytes(processPeak), megabytes(processBefore_),
        megabytes(processPeak - processBefore_) / options_.seats);
    return stored == expected_ && distinct == expected_ && ledger_.ArrivalCount() == expected_ &&
           ledger_.DuplicateArrivals() == 0 && ledger_.CommittedNotArrived() == 0 &&
           seatFailures_ == 0;
}

std::pair<std::int64_t, std::int64_t> RoomRun::CountRows() const {
    ServerConnection counter(where_);
    const QueryResult rows =
        counter.Exec("SELECT count(*), count(DISTINCT study_key) FROM kvalor_studies");
    return {rows.integer(0, 0), rows.integer(0, 1)};
}

void RoomRun::ReportLatency(const char* from, const std::vector<double>& seconds) const {
    const auto late =
        std::count_if(seconds.begin(), seconds.end(), [](double value) { return value > 1.0; });
    std::printf(
        "%s to the teacher's read: median %.3f s, 99th percentile %.3f s, max %.3f s, "
        "over 1 s: %lld of %zu\n",
        from, percentile(seconds, 0.5), percentile(seconds, 0.99),
        seconds.empty() ? 0.0 : seconds.back(), static_cast<long long>(late), seconds.size());
}

// How the seats came through the outage: when their attempts failed (the outbox's backoff), and
// how soon each delivered again once the server was back.
void RoomRun::ReportOutage() const {
    std::vector<double> resumed, firstFailure;
    for (const auto& seat : seats_) {
        const auto& deliveries = seat->Deliveries();
        const auto again = std::lower_bound(deliveries.begin(), deliveries.end(), outage_.back);
        if (again != deliveries.end()) {
            resumed.push_back(secondsBetween(outage_.back, *again));
        }
        const auto& failures = seat->Failures();
        if (!failures.empty()) {
            firstFailure.push_back(secondsBetween(outage_.stopped, failures.front()));
        }
    }
    std::sort(resumed.begin(), resumed.end());
    std::sort(firstFailure.begin(), firstFailure.end());
    std::printf(
        "outage: server killed at %.2f s (pg_ctl stop -m immediate, %.2f s), started "
        "again after %d s (pg_ctl start, recovery included, %.2f s), back at %.2f s: "
        "%.2f s away\n",
        secondsBetween(start_, outage_.stopped), secondsBetween(outage_.stopped, outage_.gone),
        options_.outageSeconds, secondsBetween(outage_.starting, outage_.back),
        secondsBetween(start_, outage_.back), secondsBetween(outage_.stopped, outage_.back));
    std::printf(
        "outage: delivery resumed after the server was back: first seat %.2f s, "
        "median seat %.2f s, last seat %.2f s (%zu seats had studies waiting)\n",
        percentile(resumed, 0.0), percentile(resumed, 0.5), percentile(resumed, 1.0),
        resumed.size());
    const Clock::time_point read = ledger_.FirstArrivalFrom(outage_.back);
    std::printf("outage: the teacher read again %.2f s after the server was back\n",
                read == Clock::time_point::max() ? -1.0 : secondsBetween(outage_.back, read));
    std::printf("outage: the seats' first failure came %.2f to %.2f s after the kill\n",
                percentile(firstFailure, 0.0), percentile(firstFailure, 1.0));
    std::printf("outage: the first seat's failed attempts, seconds after the kill:");
    for (const Clock::time_point failure : seats_.front()->Failures()) {
        std::printf(" %.2f", secondsBetween(outage_.stopped, failure));
    }
    std::printf("\noutage: the first seat's last failure: %s\n",
                seats_.front()->LastError().toUtf8().constData());
}

}  // namespace kvalor::room
