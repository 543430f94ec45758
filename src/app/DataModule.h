#pragma once

#include <cstdint>
#include <memory>

#include <QObject>
#include <QString>

#include "util/Progress.h"

namespace kvalor {

class DataFileLock;
struct PackedData;
class RecoveryFile;
class StudyRemovalWatch;
class TStudy;

// The folder that holds the files of a run ("KvalorCfg.ini", "KvalorData.exd", "Studies.exd",
// the recovery and lock files): the folder of the executable unless set otherwise, as the
// start-up does from the command line and tests do for folders of their own.
QString programFolder();
// An empty folder goes back to the folder of the executable.
void setProgramFolder(const QString& folder);
// The full name of a file in the program folder.
QString programFile(const QString& fileName);

inline constexpr const char* kSettingsFileName = "KvalorCfg.ini";
inline constexpr const char* kDataFileName = "KvalorData.exd";
inline constexpr const char* kStudiesFileName = "Studies.exd";

// Run modes: who works with the program and with which rights.
inline constexpr std::uint8_t kRunModeNone = 0;
inline constexpr std::uint8_t kRunModeTesting = 1;
inline constexpr std::uint8_t kRunModeAdministrator = 2;
inline constexpr std::uint8_t kRunModeTeacher = 3;

// What a start does in a folder that holds none of the files of a run.
enum class FirstStart { ReportMissingDataFile, WriteStarterData };

// The data module: reads the settings and the data file at the start of a run, writes them back
// at its end, and holds the run mode that the windows read to decide what the user may do.
class TDM : public QObject {
    Q_OBJECT
public:
    // True exactly when the data file was read at start; only then is it written at the end.
    bool DataLoaded() const { return dataLoaded_; }

    std::uint8_t RunMode() const { return runMode_; }
    void SetRunMode(std::uint8_t mode);

    TDM();
    ~TDM() override;

    // Takes the lock of the data file; when another process holds it, says that the data are
    // in use and returns false, having changed nothing. Then reads the font size from the
    // settings file (the menu font size when it has none), writes the starter data into a new
    // folder when asked to, loads the data file with its fix-ups and sets the run mode to 0.
    // A data file that cannot be read is reported in a box "Ошибка чтения базы"; the run goes
    // on with what was read. After a load, results left in a recovery file by a run that did
    // not end are merged into the journal and saved at once. The load tells its advance to
    // loadProgress (the splash shows it).
    bool DataModuleCreate(FirstStart firstStart = FirstStart::ReportMissingDataFile,
                          const Progress& loadProgress = {});
    // Writes the font size to the settings file and, when the data file was read at start,
    // saves it and then the results file. Runs after the event loop, so a failed save is shown
    // here; the previous file stays as it was. Releases the lock of the data file.
    void DataModuleDestroy();

    // Lets go of the data file without saving: its lock and its recovery file (left on disk),
    // so that nothing of this run writes to that folder any more.
    void ReleaseDataFile();

    // Saves the data file; once it is saved, the recovery file is done with and goes. Raises
    // the error of the save, keeping the previous file and the recovery file. Packed studies
    // are written as they are (see TKvalor::SaveToFile).
    void SaveDataFile(const PackedData* packedStudies = nullptr);

    // A run was journaled (appended to the journal and scored): until the data file is next
    // saved it is also kept in the recovery file. A failure to write it is shown.
    void StudyJournaled(const TStudy& study);

signals:
    // The windows enable their actions from the run mode.
    void runModeChanged(std::uint8_t mode);

private:
    void RecoverResults();

    bool dataLoaded_ = false;
    std::uint8_t runMode_ = kRunModeNone;
    std::unique_ptr<DataFileLock> lock_;
    // Only while the data file is loaded and will be saved at the end.
    std::unique_ptr<RecoveryFile> recovery_;
    // Tells the recovery file of studies deleted from the journal, for as long as it is kept.
    std::unique_ptr<StudyRemovalWatch> removals_;
};

// The program's one data module.
TDM& dataModule();

}  // namespace kvalor
