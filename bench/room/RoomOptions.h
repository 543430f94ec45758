#pragma once

#include <QString>
#include <QStringList>

namespace kvalor::room {

// What one run of kvalor_room_bench does, from its command line.
struct RoomOptions {
    int seats = 30;
    int examsPerSeat = 20;
    // The mean pause of a seat before each finished examination; 0 finishes them back to back.
    int pauseMs = 0;
    // Every seat also listens and reads the others' studies, as each seat of the program does.
    bool seatsListen = false;
    // Stop the server abruptly when half the studies are stored, start it again after this pause.
    bool outage = false;
    int outageSeconds = 3;
    // Off, the server skips fsync (as in the tests); on by default, as a school's server runs.
    bool durable = true;
    // The memory mode: a seat's peak memory loading the School data at this scale from a data
    // file and from the server; 0 runs the room instead.
    double memoryScale = 0.0;
    // The child of the memory mode: load from this file, or from this server URI, and report.
    QString loadFile;
    QString loadServer;

    // Raises std::invalid_argument (with the usage) on anything it does not know.
    static RoomOptions Parse(const QStringList& arguments);
    static const char* Usage();
};

}  // namespace kvalor::room
