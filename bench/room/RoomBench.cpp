// kvalor_room_bench: a computer room on one throwaway PostgreSQL server. Seats finish School
// examinations and deliver them through their outboxes while a teacher's journal listens; the
// report says how fast the server stored them, how soon the teacher saw them, that each arrived
// exactly once (also across an abrupt restart of the server), and what memory it all took.
// Run it on a Release build; bench/RESULTS.md holds the command lines of the recorded runs.

#include <QCoreApplication>
#include <cstdio>
#include <stdexcept>

#include "RoomOptions.h"
#include "RoomRun.h"
#include "SeatMemory.h"
#include "util/Error.h"

using namespace kvalor;
using namespace kvalor::room;

int main(int argc, char** argv) {
    QCoreApplication application(argc, argv);
    try {
        const RoomOptions options = RoomOptions::Parse(application.arguments().mid(1));
        if (!options.loadFile.isEmpty() || !options.loadServer.isEmpty()) {
            return LoadAndReportPeak(options);
        }
        if (options.memoryScale > 0) {
            return MeasureSeatMemory(options);
        }
        // Exit status 1 when a study was lost or doubled.
        return RoomRun(options).Run() ? 0 : 1;
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
