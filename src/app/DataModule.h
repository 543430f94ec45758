#pragma once

#include <cstdint>
#include <memory>
#include <optional>

#include <QObject>
#include <QString>

#include "model/StudyList.h"
#include "util/Progress.h"

namespace kvalor {

class DataFileLock;
class NetworkRun;
struct PackedData;
class RecoveryFile;
class ServerLink;
class StudyRemovalWatch;
class TStudy;
class TStudyReferences;

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
enum class TRunMode : std::uint8_t { None, Testing, Administrator, Teacher };

// What a start does in a folder that holds none of the files of a run.
enum class FirstStart { ReportMissingDataFile, WriteStarterData };

// Who sees the end of a run: the user who chose "Завершение работы", who may be asked what to
// do when the data file cannot be saved; or nobody (the system or the desktop ended the
// program), when failures are written to the standard error instead of waiting for an answer.
enum class Ending { Attended, Unattended };

// The data module: reads the settings and the data file at the start of a run, writes them back
// at its end, and holds the run mode that the windows read to decide what the user may do.
class TDM : public QObject {
    Q_OBJECT
public:
    // True exactly when the data file was read at start; only then is it written at the end.
    bool DataLoaded() const { return dataLoaded_; }

    TRunMode RunMode() const { return runMode_; }
    void SetRunMode(TRunMode mode);

    TDM();
    ~TDM() override;

    // The server named for this start (--server, KVALOR_SERVER): the network mode ahead of the
    // settings file. Empty leaves the choice to the settings file.
    void SetStartServer(const QString& address) { startServer_ = address; }
    // The data of this run live on a server: no data file is read, locked or written.
    bool NetworkMode() const { return network_ != nullptr; }

    // Takes the lock of the data file; when another process holds it, says that the data are
    // in use and returns false, having changed nothing. Then reads the font size from the
    // settings file (the menu font size when it has none), writes the starter data into a new
    // folder when asked to, loads the data file with its fix-ups and sets no run mode.
    // A data file that cannot be read is reported in a box "Ошибка чтения базы"; the run goes
    // on with what was read. After a load, results left in a recovery file by a run that did
    // not end are merged into the journal and saved at once; those whose account or test this
    // data lacks are kept in a file of their own beside it. When the load fails, the results of
    // the run are kept in the recovery file, and the box says so. A data folder that cannot be
    // written is reported at once. The load tells its advance to loadProgress (the splash shows
    // it).
    bool DataModuleCreate(FirstStart firstStart = FirstStart::ReportMissingDataFile,
                          const Progress& loadProgress = {});
    // Writes the font size to the settings file and, when the data file was read at start,
    // saves it and then the results file. Runs after the event loop. When the data file cannot
    // be saved (the previous file stays as it was), an attended end asks whether to try again
    // or to save it elsewhere before the run is given up. Releases the lock of the data file.
    // Does nothing more once the run has ended.
    void DataModuleDestroy(Ending ending = Ending::Attended);

    // Writes the settings and, when the data file was read at start, the data file and the
    // results file now, as the end of a run does, and goes on: the session manager asks for
    // the data so before it ends a session.
    void SaveRun(Ending ending);

    // Lets go of the data file without saving: its lock and its recovery file (left on disk),
    // so that nothing of this run writes to that folder any more.
    void ReleaseDataFile();

    // In the network mode DataModuleCreate loads from the server, saves write what changed to
    // the server in one transaction, and a journaled run is sent as its own row at once; the
    // recovery file keeps each run until the server has it. When another computer saved
    // first, the user may load the server's data again (ReloadFromServer); the save is then
    // raised as not done either way.
    //
    // Saves the data file; once it is saved, the recovery file is done with and goes. Raises
    // the error of the save in words, keeping the previous file and the recovery file, and
    // refuses to write over a data file that the run could not read. Packed
    // studies are written as they are (see TKvalor::SaveToFile).
    void SaveDataFile(const PackedData* packedStudies = nullptr);

    // A run was journaled (appended to the journal and scored): until the data file is next
    // saved it is also kept in the recovery file. A run of an account, test or question that
    // the data file on disk does not hold yet could not be matched from there after a crash,
    // so the data file is saved instead. A failure to write is shown.
    void StudyJournaled(const TStudy& study);

    // Replaces the data with those of the server (the windows that show them close before
    // and open again after); the runs the server lacks come back from the recovery file and
    // are sent. A failed load is reported, and nothing of this run is saved any more.
    void ReloadFromServer();

    // The network mode's tie to the server while the data are loaded from it; nullptr
    // otherwise (and when no recovery file can be kept). Finished runs go through its queue.
    ServerLink* Link() const { return link_.get(); }

signals:
    // The windows enable their actions from the run mode.
    void runModeChanged(TRunMode mode);
    // Around ReloadFromServer: nothing may point into the data while they are replaced.
    void dataReplacing();
    void dataReplaced();
    // The network mode: the server there or away, and the finished runs waiting for it.
    void serverStateChanged(bool connected, int queued);
    // Results of other computers, appended to the journal.
    void studiesArrived(const StudyView& studies);
    // Another computer saved the list named in words ("пользователи").
    void listsChanged(const QString& words);

private:
    // Takes the results that an earlier run left in the recovery file as pending; a file that
    // cannot be read is set aside (and reported). False when there are none to take.
    bool LoadPendingResults();
    // Reloading: the results this computer sent to no server yet come back after a reload.
    void RecoverResults(bool reloading = false);
    // Shows a window of its own for the advance unless given where to tell it.
    void WriteDataFile(const QString& fileName, const PackedData* packedStudies,
                       const Progress& progress = {});
    // The end of a run's save of the data file: the name it was saved under, or nullopt when
    // the user gave it up.
    std::optional<QString> FinalSave(const PackedData* packedStudies, const Progress& progress);
    // Shows the failure, or writes it to the standard error when nobody is there to see it.
    void Report(const QString& text) const;
    // The recovery file follows removals from the journal for as long as it is kept.
    void WatchRemovals();
    // The network mode's counterparts of SaveDataFile, StudyJournaled and the end of a run.
    void SaveToServer();
    void SendStudy(const TStudy& study);
    void FinalServerSave();
    // The store holds the data now: the recovery file is done with.
    void Saved();
    // Once the data are loaded from the server.
    void StartServerLink();

    bool unattended_ = false;
    bool dataLoaded_ = false;
    TRunMode runMode_ = TRunMode::None;
    std::unique_ptr<DataFileLock> lock_;
    QString startServer_;
    // Only in the network mode.
    std::unique_ptr<NetworkRun> network_;
    // Only while the data file is loaded and will be saved at the end.
    std::unique_ptr<RecoveryFile> recovery_;
    // Tells the recovery file of studies deleted from the journal, for as long as it is kept.
    std::unique_ptr<StudyRemovalWatch> removals_;
    // What the data file on disk holds, as of its last load or save.
    std::unique_ptr<TStudyReferences> saved_;
    // Last, so that it goes before the recovery file and the connection it uses.
    std::unique_ptr<ServerLink> link_;
};

// The program's one data module.
TDM& dataModule();

}  // namespace kvalor
