// kvalor_room_bench: a computer room on one throwaway PostgreSQL server. Seats finish School
// examinations and deliver them through their outboxes while a teacher's journal listens; the
// report says how fast the server stored them, how soon the teacher saw them, that each arrived
// exactly once (also across an abrupt restart of the server), and what memory it all took.
// Run it on a Release build; see bench/RESULTS.md for the command lines of the recorded runs.

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <latch>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "DeliveryLedger.h"
#include "ProcessMemory.h"
#include "RoomOptions.h"
#include "SchoolData.h"
#include "Seat.h"
#include "SeatMemory.h"
#include "Teacher.h"
#include "model/Kvalor.h"
#include "model/Study.h"
#include "model/StudyList.h"
#include "server/ServerConnection.h"
#include "support/ServerCluster.h"

using namespace kvalor;
using namespace kvalor::room;

namespace {

double secondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

double megabytes(std::size_t bytes) {
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

double percentile(const std::vector<double>& sorted, double share) {
    if (sorted.empty()) {
        return 0.0;
    }
    const auto index = static_cast<std::size_t>(share * static_cast<double>(sorted.size() - 1));
    return sorted[index];
}

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

struct Outage {
    Clock::time_point stopped, back;
};

// When half the studies are stored, kills the server as a power cut would and starts it again.
Outage breakServer(ServerCluster& cluster, ServerMemorySampler& sampler,
                   const DeliveryLedger& ledger, int expected, int seconds) {
    while (ledger.CommitCount() < expected / 2) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    Outage outage;
    outage.stopped = Clock::now();
    sampler.SetServerPid(0);
    cluster.StopAbruptly();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    cluster.Start();
    outage.back = Clock::now();
    sampler.SetServerPid(cluster.ServerPid());
    return outage;
}

// How the seats came through the outage: when their attempts failed (the outbox's backoff), and
// how soon each delivered again once the server was back.
void printOutage(const std::vector<std::unique_ptr<Seat>>& seats, const Outage& outage,
                 Clock::time_point start) {
    std::vector<double> resumed, firstFailure;
    for (const auto& seat : seats) {
        const auto& deliveries = seat->Deliveries();
        const auto again = std::lower_bound(deliveries.begin(), deliveries.end(), outage.back);
        if (again != deliveries.end()) {
            resumed.push_back(secondsBetween(outage.back, *again));
        }
        const auto& failures = seat->Failures();
        if (!failures.empty()) {
            firstFailure.push_back(secondsBetween(outage.stopped, failures.front()));
        }
    }
    std::sort(resumed.begin(), resumed.end());
    std::sort(firstFailure.begin(), firstFailure.end());
    std::printf(
        "outage: server killed at %.2f s (pg_ctl stop -m immediate), back at %.2f s "
        "(%.2f s away, its start and recovery included)\n",
        secondsBetween(start, outage.stopped), secondsBetween(start, outage.back),
        secondsBetween(outage.stopped, outage.back));
    std::printf(
        "outage: delivery resumed after the server was back: first seat %.2f s, "
        "median seat %.2f s, last seat %.2f s (%zu seats had studies waiting)\n",
        percentile(resumed, 0.0), percentile(resumed, 0.5), percentile(resumed, 1.0),
        resumed.size());
    std::printf("outage: the seats' first failure came %.2f to %.2f s after the kill\n",
                percentile(firstFailure, 0.0), percentile(firstFailure, 1.0));
    if (!seats.empty()) {
        std::printf("outage: the first seat's failed attempts, seconds after the kill:");
        for (const Clock::time_point failure : seats.front()->Failures()) {
            std::printf(" %.2f", secondsBetween(outage.stopped, failure));
        }
        std::printf("\n");
    }
}

int runRoom(const RoomOptions& options) {
    const int expected = options.seats * options.examsPerSeat;
    // Every seat and the teacher's two connections, with room for the benchmark's own.
    ServerCluster cluster({.maxConnections = options.seats + 20, .durable = options.durable});
    ServerMemorySampler sampler;
    sampler.SetServerPid(cluster.ServerPid());
    const ServerAddress where = cluster.FreshStore("room");
    std::vector<std::unique_ptr<TStudy>> studies = prepareData(where, expected);

    QTemporaryDir folder;
    DeliveryLedger ledger;
    std::vector<std::unique_ptr<Seat>> seats;
    const std::size_t processBefore = PeakResidentBytes();
    for (int s = 0; s < options.seats; ++s) {
        const QString seatFolder = folder.path() + QString("/seat-%1").arg(s);
        QDir().mkpath(seatFolder);
        std::vector<std::unique_ptr<TStudy>> own(
            std::make_move_iterator(studies.begin() + s * options.examsPerSeat),
            std::make_move_iterator(studies.begin() + (s + 1) * options.examsPerSeat));
        seats.push_back(
            std::make_unique<Seat>(where, seatFolder, std::move(own), options.pauseMs, ledger));
        seats.back()->Connect();
    }
    studies.clear();

    std::atomic<bool> stopTeacher{false};
    Teacher teacher(where, ledger);
    std::thread teacherThread([&] { teacher.Run(stopTeacher); });
    while (!teacher.Listening()) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }

    std::latch go(1);
    std::atomic<int> seatFailures{0};
    std::vector<std::thread> threads;
    for (auto& seat : seats) {
        threads.emplace_back([&go, &seatFailures, &seat] {
            go.wait();
            try {
                seat->Run();
            } catch (const KvalorError& error) {
                ++seatFailures;
                std::fprintf(stderr, "seat: %s\n", error.message().toUtf8().constData());
            }
        });
    }
    const Clock::time_point start = Clock::now();
    go.count_down();
    Outage outage;
    if (options.outage) {
        outage = breakServer(cluster, sampler, ledger, expected, options.outageSeconds);
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    const Clock::time_point seatsDone = Clock::now();
    // The teacher has a few seconds more for the last notices.
    while (ledger.ArrivalCount() < expected && secondsBetween(seatsDone, Clock::now()) < 15.0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    stopTeacher = true;
    teacherThread.join();

    ServerConnection counter(where);
    const QueryResult rows =
        counter.Exec("SELECT count(*), count(DISTINCT study_key) FROM kvalor_studies");
    const std::int64_t stored = rows.integer(0, 0), distinct = rows.integer(0, 1);
    std::size_t failedAttempts = 0;
    for (const auto& seat : seats) {
        failedAttempts += seat->Failures().size();
    }
    const double storeSeconds = secondsBetween(start, ledger.LastCommit());
    const std::vector<double> fromSent = ledger.LatenciesFromSent();
    const std::vector<double> fromConfirmed = ledger.LatenciesFromConfirmed();

    std::printf(
        "room: %d seats x %d examinations = %d studies of 20 questions, pause %d ms, "
        "server %s\n",
        options.seats, options.examsPerSeat, expected, options.pauseMs,
        options.durable ? "with fsync" : "without fsync");
    std::printf("stored on the server: %lld rows, %lld distinct keys (expected %d)%s\n",
                static_cast<long long>(stored), static_cast<long long>(distinct), expected,
                stored == expected && distinct == expected ? "" : "  <-- WRONG");
    std::printf("confirmed to the seats: %d; seats failed: %d; failed delivery attempts: %zu\n",
                ledger.CommitCount(), seatFailures.load(), failedAttempts);
    std::printf("stored per second: %.1f (%d studies in %.2f s, first start to last commit)\n",
                ledger.CommitCount() / storeSeconds, ledger.CommitCount(), storeSeconds);
    std::printf(
        "teacher: read %d distinct, %d twice; missed %d committed, read %d never "
        "confirmed; %d notices, %d reads, %d failed calls while away\n",
        ledger.ArrivalCount(), ledger.DuplicateArrivals(), ledger.CommittedNotArrived(),
        ledger.ArrivedNotCommitted(), teacher.Notices(), teacher.Reads(), teacher.Losses());
    // The commit lies between the seat's sending and its confirmation: both bounds.
    const auto printLatency = [](const char* from, const std::vector<double>& seconds) {
        const auto late =
            std::count_if(seconds.begin(), seconds.end(), [](double value) { return value > 1.0; });
        std::printf(
            "%s to the teacher's read: median %.3f s, 99th percentile %.3f s, max %.3f s, "
            "over 1 s: %lld of %zu\n",
            from, percentile(seconds, 0.5), percentile(seconds, 0.99),
            seconds.empty() ? 0.0 : seconds.back(), static_cast<long long>(late), seconds.size());
    };
    printLatency("seat's sending", fromSent);
    printLatency("seat's confirmation", fromConfirmed);
    std::printf("read by the teacher before the seat had the confirmation: %d\n",
                ledger.ArrivedBeforeConfirmed());
    if (options.outage) {
        printOutage(seats, outage, start);
    }
    std::printf(
        "server memory, peak of the sum over its %d processes: RSS %.1f MB; own memory "
        "plus shared once %.1f MB\n",
        sampler.PeakProcesses(), megabytes(sampler.PeakRss()), megabytes(sampler.PeakUnique()));
    const std::size_t processPeak = PeakResidentBytes();
    std::printf(
        "seats' process (all seats and the teacher) VmHWM: %.1f MB; %.1f MB before the "
        "seats connected; %.2f MB a seat\n",
        megabytes(processPeak), megabytes(processBefore),
        megabytes(processPeak - processBefore) / options.seats);
    const bool exact = stored == expected && distinct == expected &&
                       ledger.ArrivalCount() == expected && ledger.DuplicateArrivals() == 0 &&
                       ledger.CommittedNotArrived() == 0 && seatFailures == 0;
    return exact ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    try {
        const RoomOptions options = RoomOptions::Parse(application.arguments().mid(1));
        if (!options.loadFile.isEmpty() || !options.loadServer.isEmpty()) {
            return LoadAndReportPeak(options);
        }
        return options.memoryScale > 0 ? MeasureSeatMemory(options) : runRoom(options);
    } catch (const std::invalid_argument& error) {
        std::fprintf(stderr, "%s\n%s", error.what(), RoomOptions::Usage());
        return 2;
    } catch (const KvalorError& error) {
        std::fprintf(stderr, "kvalor_room_bench: %s\n", error.message().toUtf8().constData());
        return 1;
    } catch (const std::exception& error) {
        std::fprintf(stderr, "kvalor_room_bench: %s\n", error.what());
        return 1;
    }
}
