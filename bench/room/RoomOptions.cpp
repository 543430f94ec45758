#include "RoomOptions.h"

#include <stdexcept>
#include <string>

namespace kvalor::room {

namespace {

double number(const QStringList& arguments, int& i, double low, double high) {
    if (i + 1 >= arguments.size()) {
        throw std::invalid_argument(arguments[i].toStdString() + " needs a value");
    }
    bool valid = false;
    const double value = arguments[++i].toDouble(&valid);
    if (!valid || value < low || value > high) {
        throw std::invalid_argument(arguments[i - 1].toStdString() + " must lie between " +
                                    std::to_string(low) + " and " + std::to_string(high));
    }
    return value;
}

QString text(const QStringList& arguments, int& i) {
    if (i + 1 >= arguments.size()) {
        throw std::invalid_argument(arguments[i].toStdString() + " needs a value");
    }
    return arguments[++i];
}

}  // namespace

const char* RoomOptions::Usage() {
    return "Usage: kvalor_room_bench [--seats N] [--exams M] [--pause MS] [--seats-listen]\n"
           "                         [--outage] [--outage-seconds S] [--no-fsync]\n"
           "       kvalor_room_bench --memory SCALE [--no-fsync]\n"
           "  --seats N           concurrent seats, each with its own connection (30)\n"
           "  --exams M           examinations each seat finishes (20)\n"
           "  --pause MS          mean pause before each examination; 0 = back to back (0)\n"
           "  --seats-listen      every seat also listens and reads the others' studies, as\n"
           "                      the program's seats do (two connections a seat)\n"
           "  --outage            stop the server abruptly (pg_ctl -m immediate) when half the\n"
           "                      studies are stored, and start it again\n"
           "  --outage-seconds S  how long the server stays away (3)\n"
           "  --no-fsync          run the server without fsync, as the tests do\n"
           "  --memory SCALE      a seat's peak memory loading the School data at SCALE from a\n"
           "                      data file and from the server\n";
}

RoomOptions RoomOptions::Parse(const QStringList& arguments) {
    RoomOptions options;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& name = arguments[i];
        if (name == "--seats") {
            options.seats = static_cast<int>(number(arguments, i, 1, 2000));
        } else if (name == "--exams") {
            options.examsPerSeat = static_cast<int>(number(arguments, i, 1, 10000));
        } else if (name == "--pause") {
            options.pauseMs = static_cast<int>(number(arguments, i, 0, 600000));
        } else if (name == "--seats-listen") {
            options.seatsListen = true;
        } else if (name == "--outage") {
            options.outage = true;
        } else if (name == "--outage-seconds") {
            options.outageSeconds = static_cast<int>(number(arguments, i, 0, 600));
        } else if (name == "--no-fsync") {
            options.durable = false;
        } else if (name == "--memory") {
            options.memoryScale = number(arguments, i, 0.001, 2.0);
        } else if (name == "--load-file") {
            options.loadFile = text(arguments, i);
        } else if (name == "--load-server") {
            options.loadServer = text(arguments, i);
        } else {
            throw std::invalid_argument("unknown argument " + name.toStdString());
        }
    }
    return options;
}

}  // namespace kvalor::room
