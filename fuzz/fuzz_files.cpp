// Feeds arbitrary bytes, as a file on disk, to the whole load of each kind of file through the
// storage layer: the data file at start (fix-ups included), a results file imported into the
// journal, and a user exchange file imported into the users list.

#include <unistd.h>

#include <QString>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "model/AccountMessages.h"
#include "model/Kvalor.h"
#include "model/StudyList.h"
#include "util/Error.h"

using namespace kvalor;

namespace {

// A file of this process's own, rewritten for every input.
const QString& inputFile() {
    static const QString name = [] {
        const char* folder = std::getenv("TMPDIR");
        return QString::fromLocal8Bit(folder && *folder ? folder : "/tmp") +
               QStringLiteral("/kvalor-fuzz-%1.exd").arg(::getpid());
    }();
    return name;
}

template <class Load>
void loadAs(Load load) {
    try {
        load();
    } catch (const KvalorError&) {
        // A damaged file fails with the program's error.
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool quiet = [] {
        setAccountMessageHandler([](const QString&) {});
        std::atexit([] { std::remove(inputFile().toLocal8Bit().constData()); });
        return true;
    }();
    (void)quiet;
    const QByteArray name = inputFile().toLocal8Bit();
    std::FILE* file = std::fopen(name.constData(), "wb");
    if (file == nullptr || std::fwrite(data, 1, size, file) != size || std::fclose(file) != 0) {
        std::abort();
    }

    TKvalor root;
    loadAs([&] { root.LoadFromFile(inputFile(), true); });
    // Into whatever the load left: a failed load leaves a partial but consistent root.
    loadAs([&] { root.ImportStudies({inputFile()}); });
    loadAs([&] { root.ImportUsers(inputFile()); });
    TStudyList studies;
    loadAs([&] { studies.LoadFromFile(inputFile()); });
    return 0;
}
