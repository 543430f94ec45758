#include "SeatMemory.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>
#include <stdexcept>

#include "Figures.h"
#include "ProcessMemory.h"
#include "RoomOptions.h"
#include "SchoolData.h"
#include "model/Kvalor.h"
#include "model/StudyList.h"
#include "support/ServerCluster.h"

namespace kvalor::room {

namespace {

struct ChildPeak {
    std::size_t before = 0, after = 0;
};

// Runs this program again with the arguments and reads the two figures it prints.
ChildPeak runChild(const QStringList& arguments) {
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QFile::symLinkTarget("/proc/self/exe"), arguments);
    if (!child.waitForFinished(-1) || child.exitCode() != 0) {
        throw std::runtime_error("the loading process failed: " +
                                 arguments.join(' ').toStdString());
    }
    const QList<QByteArray> figures = child.readAllStandardOutput().trimmed().split(' ');
    if (figures.size() != 2) {
        throw std::runtime_error("the loading process printed no figures");
    }
    return {figures[0].toULongLong(), figures[1].toULongLong()};
}

}  // namespace

int LoadAndReportPeak(const RoomOptions& options) {
    const std::size_t before = PeakResidentBytes();
    TKvalor root;
    if (!options.loadFile.isEmpty()) {
        root.LoadFromFile(options.loadFile, true);
    } else {
        TServerStore(ServerAddress{options.loadServer, {}}).Load(root, true);
    }
    std::printf("%zu %zu\n", before, PeakResidentBytes());
    return 0;
}

int MeasureSeatMemory(const RoomOptions& options) {
    ServerCluster cluster({.maxConnections = 100, .durable = options.durable});
    const ServerAddress where = cluster.FreshStore("school");
    QTemporaryDir folder;
    const QString dataFile = folder.path() + "/KvalorData.exd";
    int studies = 0;
    {
        TKvalor root;
        BuildSchoolData(root, SchoolShape::atScale(options.memoryScale));
        root.SaveToFile(dataFile);
        TServerStore(where).Push(root, false);
        studies = root.Studies().Count();
    }
    const ChildPeak file = runChild({"--load-file", dataFile});
    const ChildPeak server = runChild({"--load-server", where.address});
    std::printf("School data at scale %.3g: %d studies, data file %.1f MB\n", options.memoryScale,
                studies, megabytes(static_cast<std::size_t>(QFile(dataFile).size())));
    std::printf("%-34s %12s %12s %12s\n", "a seat's peak memory (VmHWM)", "file mode",
                "network mode", "network/file");
    std::printf("%-34s %9.1f MB %9.1f MB %12.3f\n", "whole process", megabytes(file.after),
                megabytes(server.after),
                static_cast<double>(server.after) / static_cast<double>(file.after));
    std::printf("%-34s %9.1f MB %9.1f MB %12.3f\n", "the load alone (peak - at start)",
                megabytes(file.after - file.before), megabytes(server.after - server.before),
                static_cast<double>(server.after - server.before) /
                    static_cast<double>(file.after - file.before));
    return 0;
}

}  // namespace kvalor::room
