// The School benchmark: one run measures, on one generated data file, the floor that packing
// and unpacking set and each long operation of the program against it, with peak memory.
//
//   kvalor_school_bench [SCALE] [FOLDER]
//
// SCALE 1 is the full School data set (see SchoolData.h); the default is 0.05. The data
// file is written into FOLDER (a temporary folder without one) by a child process, so that
// building it leaves nothing in the memory measured here.

#include <malloc.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <zlib.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "SchoolData.h"
#include "analysis/TestStatistics.h"
#include "app/DataModule.h"
#include "app/MainWindow.h"
#include "model/Competitors.h"
#include "model/Kvalor.h"
#include "model/QuestionDraw.h"
#include "model/Questions.h"
#include "model/Study.h"
#include "model/StudyList.h"
#include "model/TaskList.h"
#include "results/Journal.h"
#include "results/JournalModel.h"
#include "results/ResultsModel.h"
#include "results/ResultsView.h"
#include "results/StatisticsWindow.h"
#include "storage/CompoundFile.h"
#include "storage/DataStreams.h"
#include "storage/Packing.h"
#include "ui/ItemTree.h"
#include "ui/ItemTreeModel.h"

#include <QTreeView>
#include <map>

using namespace kvalor;

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point start) {
    return std::chrono::duration<double>(Clock::now() - start).count();
}

// Processor time of the whole process, all threads, user and system.
double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval& t) { return t.tv_sec + t.tv_usec / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

// The processor time of the last timed work: beside the wall time it shows whether the work
// ran on both cores, or waited for them.
double lastCpu = 0.0;

template <class Work>
double timed(Work work) {
    const double cpu = cpuSeconds();
    const auto start = Clock::now();
    work();
    lastCpu = cpuSeconds() - cpu;
    return secondsSince(start);
}

// Peak resident memory since the last reset, from the kernel's high-water mark.
std::size_t peakBytes() {
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmHWM:", 0) == 0) {
            return std::stoull(line.substr(6)) * 1024;
        }
    }
    return 0;
}

// Gives freed memory back and starts a new high-water mark from what is resident now.
void resetPeak() {
    malloc_trim(0);
    std::ofstream("/proc/self/clear_refs") << "5";
}

double megabytes(std::size_t bytes) {
    return static_cast<double>(bytes) / (1024.0 * 1024.0);
}

const std::vector<std::string> kStorages = {kSimpleTestsStorage, kComplexTestsStorage,
                                            kCompetitorsStorage, kComplexTasksStorage,
                                            kStudiesStorage};

struct Floor {
    double read = 0, inflate = 0, deflate = 0;
    std::size_t unpacked = 0, zlibPacked = 0;
    double total() const { return read + inflate + deflate; }
};

// Reads the five streams, inflates them and deflates them again with zlib at level 9 on one
// thread: what any save and load of these bytes must at least cost with zlib alone.
Floor measureFloor(const QString& fileName) {
    Floor floor;
    std::vector<ByteStream> streams;
    int version = 0;
    floor.read = timed([&] {
        const CompoundFileReader file(fileName);
        version = ReadFormatVersion(file.root());
        for (const std::string& name : kStorages) {
            streams.emplace_back(file.root().storage(name).stream(kDataStream).readAll());
        }
    });
    floor.inflate = timed([&] {
        for (ByteStream& stream : streams) {
            UnpackStream(stream, version);
        }
    });
    floor.deflate = timed([&] {
        for (const ByteStream& stream : streams) {
            uLongf size = compressBound(stream.size());
            std::string out(size, '\0');
            compress2(reinterpret_cast<Bytef*>(out.data()), &size,
                      reinterpret_cast<const Bytef*>(stream.data().data()), stream.size(), 9);
            floor.zlibPacked += size;
        }
    });
    for (const ByteStream& stream : streams) {
        floor.unpacked += stream.size();
    }
    return floor;
}

std::size_t packedSize(const QString& fileName) {
    const CompoundFileReader file(fileName);
    std::size_t size = 0;
    for (const std::string& name : kStorages) {
        size += file.root().storage(name).stream(kDataStream).readAll().size();
    }
    return size;
}

class Report {
public:
    Report(double floor, std::size_t unpacked) : floor_(floor), unpacked_(unpacked) {}

    // With the processor time of the last timed work, read once the arguments are.
    void time(const char* what, double seconds, const char* note = "", bool withCpu = true) {
        char cpuText[32] = "";
        if (withCpu) {
            std::snprintf(cpuText, sizeof cpuText, "%9.3f", lastCpu);
        }
        std::printf("| %-44s | %9.3f | %7.3f | %9s | %s\n", what, seconds, seconds / floor_,
                    cpuText, note);
        std::fflush(stdout);
    }
    void memory(const char* what, std::size_t peak) {
        std::printf("| %-44s | %7.1f MB | %5.2f × unpacked |\n", what, megabytes(peak),
                    static_cast<double>(peak) / static_cast<double>(unpacked_));
        std::fflush(stdout);
    }

private:
    double floor_;
    std::size_t unpacked_;
};

// The data file written by a child process.
void generate(double scale, const QString& fileName) {
    std::fflush(stdout);
    const pid_t child = fork();
    if (child == 0) {
        const auto start = Clock::now();
        TKvalor root;
        BuildSchoolData(root, SchoolShape::atScale(scale));
        root.SaveToFile(fileName);
        std::printf("generated in %.1f s\n", secondsSince(start));
        std::fflush(stdout);
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
        std::fprintf(stderr, "the data file could not be generated\n");
        std::exit(1);
    }
}

TQuestions* largestTest(TQuestions& tests, const TTaskList& tasks) {
    TQuestions* largest = nullptr;
    int most = -1;
    for (int i = 0; i < tests.Count(); ++i) {
        auto* test = dynamic_cast<TQuestions*>(tests.CollectionAt(i));
        const int count = test ? QuestionCount(*test, tasks) : -1;
        if (count > most) {
            most = count;
            largest = test;
        }
    }
    return largest;
}

void measureWindows(TKvalor& root, Report& report) {
    root.SetCurrentUser(root.Users().Teacher());
    {
        TfmKvalor mainWindow;
        TfmJournal journal(mainWindow);
        report.time("journal listing (open, first screen)", timed([&] {
                        journal.resize(1000, 700);
                        journal.show();
                        journal.FormShow();
                        QApplication::processEvents();
                    }));
        const char* names[] = {"sort by account", "sort by test",   "sort by test kind",
                               "sort by mode",    "sort by result", "sort by date"};
        for (int column = 0; column < JournalModel::ColumnCount; ++column) {
            report.time(names[column], timed([&] {
                            journal.Model()->SortRows(column, Qt::AscendingOrder);
                            QApplication::processEvents();
                        }));
        }
    }
    TQuestions* test = largestTest(root.SimpleTests(), root.Tasks());
    report.time("tests tree opened at the largest test", timed([&] {
                    TItemTreeModel model({"Наименование", "Вопросов"}, {"", ""});
                    model.SetTextsFunction([](const TItemNode& node) {
                        return QStringList{QString::number(node.Item->GetNumber()), QString()};
                    });
                    QTreeView view;
                    view.setUniformRowHeights(true);
                    view.setModel(&model);
                    view.resize(800, 600);
                    FillTree(model, root.SimpleTests(), nullptr);
                    for (const auto& node : model.Root().Children) {
                        if (node->Item == test) {
                            view.expand(model.IndexOf(node.get()));
                        }
                    }
                    view.grab();
                }));
    StudyView studies = root.Studies().View();
    studies.resize(std::min<std::size_t>(studies.size(), 1000));
    report.time("results view with 1,000 studies", timed([&] {
                    TfmResultsView view;
                    view.show();
                    view.ShowStudies(studies);
                    QApplication::processEvents();
                }));
    root.SetCurrentUser(nullptr);
}

// The test that the most studies of the journal are of.
TQuestions* mostStudiedTest(const TStudyList& studies) {
    std::map<TQuestions*, int> counts;
    for (int i = 0; i < studies.Count(); ++i) {
        ++counts[studies.StudyAt(i).Test()];
    }
    const auto most = std::ranges::max_element(
        counts, [](const auto& a, const auto& b) { return a.second < b.second; });
    return most == counts.end() ? nullptr : most->first;
}

// The statistics window as the journal opens it with every study listed (no filter), and the
// figures alone over the whole journal taken as the runs of one test.
void measureStatistics(TKvalor& root, Report& report) {
    TQuestions* test = mostStudiedTest(root.Studies());
    if (test == nullptr) {
        return;
    }
    root.SetCurrentUser(root.Users().Teacher());
    registerStatisticsWindow();
    TfmKvalor mainWindow;
    // With a run mode chosen the frame asks for none when it is shown.
    dataModule().SetRunMode(TRunMode::Teacher);
    mainWindow.resize(1280, 1000);
    mainWindow.show();
    QApplication::processEvents();
    char note[64];
    std::snprintf(note, sizeof note, "%zu of %d studies",
                  root.Studies().StudiesOfTest(*test).size(), root.Studies().Count());
    report.time("statistics window, most studied test", timed([&] {
                    ShowTestStatistics(mainWindow, *test, root.Studies().View());
                    QApplication::processEvents();
                }),
                note);
    std::size_t questions = 0;
    report.time(
        "statistics, whole journal as one test", timed([&] {
            questions =
                ComputeTestFigures(*test, root.Tasks(), root.Studies().View()).questions.size();
        }));
    std::printf("(%zu questions in the figures of the whole journal)\n", questions);
    root.SetCurrentUser(nullptr);
    dataModule().SetRunMode(TRunMode::None);
}

}  // namespace

int main(int argc, char** argv) {
    const double scale = argc > 1 ? std::atof(argv[1]) : 0.05;
    QTemporaryDir temporary;
    const QString folder = argc > 2 ? QString::fromLocal8Bit(argv[2]) : temporary.path();
    const QString dataFile = QDir(folder).filePath(QStringLiteral("School.exd"));
    const QString savedFile = QDir(folder).filePath(QStringLiteral("Saved.exd"));
    const QString studiesFile = QDir(folder).filePath(QStringLiteral("Studies.exd"));

    std::printf("School data set at scale %g\n", scale);
    generate(scale, dataFile);
    // The windows measured at the end run without a screen.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    const QApplication application(argc, argv);

    const Floor floor = measureFloor(dataFile);
    std::printf("unpacked streams %.1f MB, file streams %.1f MB (zlib level 9: %.1f MB)\n",
                megabytes(floor.unpacked), megabytes(packedSize(dataFile)),
                megabytes(floor.zlibPacked));
    std::printf("\n| %-44s | %9s | %7s | %9s | notes\n", "operation", "seconds", "÷ floor",
                "CPU s");
    std::printf("|%s|%s|%s|%s|-------|\n", std::string(46, '-').c_str(),
                std::string(11, '-').c_str(), std::string(9, '-').c_str(),
                std::string(11, '-').c_str());
    Report report(floor.total(), floor.unpacked);
    report.time("floor: read the five streams", floor.read, "", false);
    report.time("floor: inflate them (zlib)", floor.inflate, "", false);
    report.time("floor: deflate them (zlib level 9, 1 thread)", floor.deflate, "", false);
    report.time("floor: total", floor.total(), "", false);

    std::vector<std::pair<const char*, std::size_t>> peaks;
    TKvalor& root = kvalorRoot();
    resetPeak();
    report.time("load without fix-ups (read, inflate, walk)",
                timed([&] { root.LoadFromFile(dataFile, false); }));
    peaks.emplace_back("peak memory, load without fix-ups", peakBytes());
    root.Clear();
    resetPeak();
    const double load = timed([&] { root.LoadFromFile(dataFile, true); });
    report.time("load with fix-ups", load);
    peaks.emplace_back("peak memory, load with fix-ups", peakBytes());

    resetPeak();
    // From scratch: nothing packed by the load is taken over.
    root.ForgetPackedStreams();
    const double save = timed([&] { root.SaveToFile(savedFile); });
    // Before the sizes below are read back: reading the file is no part of the save.
    peaks.emplace_back("peak memory, save", peakBytes());
    char note[128];
    std::snprintf(
        note, sizeof note, "%.3f × zlib deflate; size %.3f × zlib level 9", save / floor.deflate,
        static_cast<double>(packedSize(savedFile)) / static_cast<double>(floor.zlibPacked));
    report.time("save", save, note);

    const double packOnce = timed([&] {
        const PackedData studies = root.PackStudies();
        root.SaveToFile(savedFile, &studies);
        root.Studies().SaveToFile(studiesFile, &studies);
    });
    report.time("end of a run: data file and Studies file", packOnce);

    // A run of the saved file in which a few examinations were taken: the journal grew at its
    // end, the rest is as loaded.
    root.Clear();
    root.LoadFromFile(savedFile, true);
    AppendExaminations(root, 5, 6 * 365.0);
    const double afterExaminations = timed([&] {
        const PackedData studies = root.PackStudies();
        root.SaveToFile(savedFile, &studies);
        root.Studies().SaveToFile(studiesFile, &studies);
    });
    report.time("end of a run after 5 examinations", afterExaminations);

    report.time("linking", timed([&] { root.LinkStudies(); }));

    TQuestions* complex = largestTest(root.ComplexTests(), root.Tasks());
    if (complex != nullptr) {
        constexpr int kDraws = 100;
        const double draws = timed([&] {
            for (int i = 0; i < kDraws; ++i) {
                DrawExamineQuestions(*complex, root.Tasks(), -1);
            }
        });
        report.time("complex-test draw (one)", draws / kDraws);
    }

    measureWindows(root, report);
    measureStatistics(root, report);

    // An import of as many studies as the journal holds, all of them new: the same runs five
    // years later.
    for (int i = 0; i < root.Studies().Count(); ++i) {
        TStudy& study = root.Studies().StudyAt(i);
        study.SetDate(study.Date() + 5 * 365.0);
    }
    root.Studies().SaveToFile(studiesFile);
    root.Clear();
    root.LoadFromFile(dataFile, true);
    resetPeak();
    const double import = timed([&] { root.ImportStudies({studiesFile}); });
    std::snprintf(note, sizeof note, "%.2f × load; journal now %d", import / load,
                  root.Studies().Count());
    report.time("import-merge of a Studies file", import, note);
    peaks.emplace_back("peak memory, import-merge", peakBytes());
    root.Clear();

    std::printf("\n| %-44s | %10s | %s |\n", "memory", "peak", "÷ unpacked");
    std::printf("|%s|%s|%s|\n", std::string(46, '-').c_str(), std::string(12, '-').c_str(),
                std::string(18, '-').c_str());
    for (const auto& [what, peak] : peaks) {
        report.memory(what, peak);
    }
    return 0;
}
