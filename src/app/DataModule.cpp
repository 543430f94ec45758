#include "app/DataModule.h"

#include <cstdio>
#include <exception>
#include <optional>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>
#include <QTemporaryFile>

#include "app/NetworkRun.h"
#include "app/NetworkSettings.h"
#include "app/ProgressWindow.h"
#include "app/ServerLink.h"
#include "model/AccountMessages.h"
#include "model/Competitor.h"
#include "model/Competitors.h"
#include "model/Kvalor.h"
#include "model/StarterData.h"
#include "model/StudyList.h"
#include "storage/DataFileLock.h"
#include "storage/DataStreams.h"
#include "storage/RecoveryFile.h"
#include "storage/StorageError.h"
#include "ui/ErrorGuard.h"
#include "ui/Fonts.h"
#include "ui/ProgramCaption.h"
#include "ui/Prompts.h"
#include "util/Error.h"

namespace kvalor {

namespace {

QString& programFolderSetting() {
    static QString folder;
    return folder;
}

const QString kFontKey = QStringLiteral("Setting/FormFont");

QSettings openSettings() {
    return QSettings(programFile(QString::fromLatin1(kSettingsFileName)), QSettings::IniFormat);
}

// The size the windows use when the settings file names none: that of the menu font.
int menuFontSize() {
    const int size = QApplication::font("QMenu").pointSize();
    return size > 0 ? size : QApplication::font().pointSize();
}

void showLoadError(const QString& text) {
    prompts().inform(text, QStringLiteral("Ошибка чтения базы"), QMessageBox::Critical);
}

QString dataFile() {
    return programFile(QString::fromLatin1(kDataFileName));
}

QString studiesFile() {
    return programFile(QString::fromLatin1(kStudiesFileName));
}

// The network mode keeps its own recovery file, so that the results of a run in one mode are
// never merged into the other mode's store by the next start.
QString recoveryBase(bool networkMode) {
    return networkMode ? programFile(QStringLiteral("KvalorServer.exd")) : dataFile();
}

QString messageOf(const std::exception& error) {
    const auto* known = dynamic_cast<const KvalorError*>(&error);
    return known ? known->message() : QString::fromUtf8(error.what());
}

// Nothing of a run can be kept in a folder where no file can be made, nor in a data file that
// may only be read; better to hear it before the first examination than after it.
QString unwritableFolderWarning(bool networkMode) {
    const QString folder = QDir::toNativeSeparators(programFolder());
    QTemporaryFile probe(QDir(programFolder()).filePath(QStringLiteral(".kvalor-probe-XXXXXX")));
    if (!probe.open()) {
        return QStringLiteral(
                   "В папку данных %1 нельзя записывать (нет права записи или диск "
                   "только для чтения).\n")
            .arg(folder);
    }
    QFile data(dataFile());
    if (!networkMode && data.exists() &&
        !data.open(QIODevice::ReadWrite | QIODevice::ExistingOnly)) {
        return QStringLiteral("Файл данных %1 доступен только для чтения.\n")
            .arg(QDir::toNativeSeparators(dataFile()));
    }
    return {};
}

// A folder where the program has never run: none of the files of a run lie there.
bool isNewDataFolder() {
    for (const QString& name :
         {QString::fromLatin1(kDataFileName), QString::fromLatin1(kStudiesFileName),
          QString::fromLatin1(kSettingsFileName), RecoveryFile::FileNameFor(dataFile())}) {
        if (QFileInfo::exists(programFile(name))) {
            return false;
        }
    }
    return true;
}

void writeStarterData() {
    const bool written = guarded([] {
        TKvalor starter;
        BuildStarterData(starter);
        starter.SaveToFile(dataFile());
    });
    if (written) {
        prompts().inform(
            QStringLiteral("Папка данных %1 была пуста: в ней создан начальный файл данных с "
                           "демонстрационными тестами и двумя соискателями.\nВстроенные учётные "
                           "записи «Администратор» и «Преподаватель» пока без паролей: задайте "
                           "их в окне пользователей.")
                .arg(QDir::toNativeSeparators(programFolder())),
            kProgramCaption, QMessageBox::Information);
    }
}

}  // namespace

QString programFolder() {
    const QString& folder = programFolderSetting();
    return folder.isEmpty() ? QCoreApplication::applicationDirPath() : folder;
}

void setProgramFolder(const QString& folder) {
    programFolderSetting() = folder;
}

QString programFile(const QString& fileName) {
    return QDir(programFolder()).filePath(fileName);
}

void TDM::SetRunMode(TRunMode mode) {
    runMode_ = mode;
    emit runModeChanged(mode);
}

TDM::TDM() = default;
TDM::~TDM() = default;

bool TDM::DataModuleCreate(FirstStart firstStart, const Progress& loadProgress) {
    // Nothing of an earlier load may be saved by a run that is refused or fails to load.
    dataLoaded_ = false;
    unattended_ = false;
    link_.reset();
    removals_.reset();
    recovery_.reset();
    saved_.reset();
    network_.reset();
    if (const std::optional<ServerAddress> server = ChooseServer(
            startServer_,
            ReadNetworkSettings(programFile(QString::fromLatin1(kSettingsFileName))))) {
        network_ = std::make_unique<NetworkRun>(*server);
    }
    // The lock is kept when the same data file is opened again; the network mode has none.
    if (network_) {
        lock_.reset();
    } else if (!lock_ || lock_->LockFileName() != DataFileLock::LockFileNameFor(dataFile())) {
        lock_.reset();
        try {
            lock_ = std::make_unique<DataFileLock>(
                dataFile(), QStringList{studiesFile(), RecoveryFile::FileNameFor(dataFile())});
        } catch (const KvalorError& error) {
            showError(error);
            return false;
        }
    }

    // A damaged password must not stop reading the accounts; the user learns of it in a box.
    setAccountMessageHandler([](const QString& text) {
        prompts().inform(text, QStringLiteral("Ошибка"), QMessageBox::Critical);
    });

    TKvalor& root = kvalorRoot();
    int fontSize = menuFontSize();
    bool isNumber = false;
    const int stored = openSettings().value(kFontKey).toString().trimmed().toInt(&isNumber);
    if (isNumber) {
        fontSize = stored;
    }
    // A size edited by hand must not leave the windows unusable.
    root.SetFontSize(BoundedFontSize(fontSize));

    if (!network_ && firstStart == FirstStart::WriteStarterData && isNewDataFolder()) {
        writeStarterData();
    }

    QString loadError;
    try {
        if (network_) {
            network_->Load(root, loadProgress);
        } else {
            root.LoadFromFile(dataFile(), true, loadProgress);
        }
        dataLoaded_ = true;
    } catch (const std::exception& error) {
        // Whatever a damaged file provokes must not end the run before it starts; the file is
        // then not written at the end either.
        loadError = messageOf(error);
    }
    recovery_ = std::make_unique<RecoveryFile>(recoveryBase(NetworkMode()));
    if (dataLoaded_) {
        saved_ = std::make_unique<TStudyReferences>(root);
        RecoverResults();
        StartServerLink();
    } else {
        // The unread file is never written by this run; its results go to the recovery file,
        // after those an earlier run may have left there, and come back once the file reads.
        LoadPendingResults();
        const QString kept =
            !recovery_ ? QString()
            : network_ ? QStringLiteral(
                             "\n\nЭта работа ничего не запишет на сервер. Результаты "
                             "тестирования сохранятся в файле %1 и будут отправлены на "
                             "сервер, когда данные с него снова будут загружены.")
                             .arg(QDir::toNativeSeparators(recovery_->FileName()))
                       : QStringLiteral(
                             "\n\nЭта работа не изменит файл данных. Результаты "
                             "тестирования сохранятся в файле %1 и вернутся в журнал, "
                             "когда файл данных снова будет прочитан.")
                             .arg(QDir::toNativeSeparators(RecoveryFile::FileNameFor(dataFile())));
        showLoadError(loadError + kept);
    }
    WatchRemovals();
    if (const QString warning = unwritableFolderWarning(NetworkMode()); !warning.isEmpty()) {
        prompts().inform(
            warning +
                (network_
                     ? QStringLiteral("Результаты, которых ещё нет на сервере, не удастся "
                                      "сохранить там на случай сбоя: исправьте права на "
                                      "папку или укажите другую папку данных (--data).")
                     : QStringLiteral(
                           "Результаты и изменения этой работы не удастся сохранить там: "
                           "исправьте права на папку или укажите другую папку данных (--data)") +
                           (dataLoaded_ ? QStringLiteral("; при завершении работы файл данных "
                                                         "можно будет сохранить в другом месте.")
                                        : QStringLiteral("."))),
            kProgramCaption, QMessageBox::Warning);
    }
    SetRunMode(TRunMode::None);
    return true;
}

bool TDM::LoadPendingResults() {
    try {
        return recovery_->Load();
    } catch (const std::exception& error) {
        QString text = QStringLiteral("Файл восстановления %1 не удалось прочитать:\n%2\n")
                           .arg(recovery_->FileName(), messageOf(error));
        try {
            text += QStringLiteral(
                        "Он сохранён под именем %1, результаты из него в журнал не "
                        "добавлены.")
                        .arg(recovery_->SetAside());
        } catch (const KvalorError& setAside) {
            // Left where it is, it must not be overwritten or removed by this run.
            recovery_.reset();
            text += setAside.message() + QStringLiteral(", он оставлен на месте.");
        }
        prompts().inform(text, kProgramCaption, QMessageBox::Warning);
        return false;
    }
}

void TDM::WatchRemovals() {
    if (recovery_) {
        removals_ = std::make_unique<StudyRemovalWatch>(
            kvalorRoot().Studies(), [this](const TStudy& study) {
                if (recovery_) {
                    guarded([this, &study] { recovery_->Forget(study); });
                }
            });
    }
}

void TDM::RecoverResults(bool reloading) {
    if (!LoadPendingResults()) {
        return;
    }
    TKvalor& root = kvalorRoot();
    StudiesImportReport report;
    if (!guarded(
            [&root, &report, this] { report = root.ImportStudies({recovery_->FileName()}); })) {
        // Left where it is, it must not be overwritten or removed by this run.
        recovery_.reset();
        return;
    }
    // What this data cannot take is kept in a file of its own: the recovery file goes once
    // the data file is saved, and nothing of it may go with it.
    QString apart;
    if (report.leftOut > 0) {
        const TStudyReferences known(root);
        const bool keptApart = guarded([this, &known, &apart] {
            apart = recovery_->KeepApart([&known](const TStudy& study) {
                return !known.HasAccount(study) || !known.HasTest(study);
            });
        });
        if (!keptApart) {
            // Left where it is, it must not be overwritten or removed by this run.
            recovery_.reset();
            return;
        }
    }
    // Saved at once, so that the recovered results are safe even if this run ends as badly.
    const bool saved = guarded([this] { SaveDataFile(); });
    QString text =
        (reloading ? QStringLiteral("Результатов тестирования этого компьютера, которых ещё нет "
                                    "на сервере, возвращено в журнал: %1.\n%2")
                   : QStringLiteral("Предыдущая работа с программой не была завершена. Из файла "
                                    "восстановления в журнал возвращено результатов "
                                    "тестирования: %1.\n%2"))
            .arg(report.merged)
            .arg(network_ ? (saved ? QStringLiteral("Они сохранены на сервере.")
                                   : QStringLiteral("Сохранить их на сервере не удалось, файл "
                                                    "восстановления оставлен на месте."))
                 : saved  ? QStringLiteral("Они сохранены в файле данных.")
                         : QStringLiteral("Файл данных сохранить не удалось, файл "
                                          "восстановления оставлен на месте."));
    if (report.leftOut > 0) {
        text +=
            QStringLiteral(
                "\nРезультатов, для которых %3 нет соискателя или теста: %1. "
                "Они сохранены в файле %2; его можно импортировать командой «Импорт "
                "результатов тестов», когда соискатели и тесты будут на месте.")
                .arg(report.leftOut)
                .arg(QDir::toNativeSeparators(apart),
                     network_ ? QStringLiteral("на сервере") : QStringLiteral("в файле данных"));
    }
    prompts().inform(text, kProgramCaption,
                     report.leftOut > 0 ? QMessageBox::Warning : QMessageBox::Information);
}

void TDM::DataModuleDestroy(Ending ending) {
    if (!lock_ && !network_) {
        return;
    }
    SaveRun(ending);
    ReleaseDataFile();
}

void TDM::SaveRun(Ending ending) {
    if (!lock_ && !network_) {
        return;
    }
    unattended_ = ending == Ending::Unattended;
    TKvalor& root = kvalorRoot();
    {
        QSettings settings = openSettings();
        settings.setValue(kFontKey, root.FontSize());
        settings.sync();
    }
    // A data file that failed to load is never overwritten by a run that did not read it.
    if (network_ && dataLoaded_) {
        FinalServerSave();
    } else if (dataLoaded_) {
        // One window shows the advance of the whole end: the journal packed, the data file,
        // the results file, a third each.
        std::optional<ProgressWindow> window;
        if (!unattended_) {
            window.emplace(QStringLiteral("Сохранение данных..."));
        }
        const Progress progress = window ? window->callback() : Progress();
        const auto third = [&progress](int part) -> Progress {
            return [&progress, part](std::uint64_t done, std::uint64_t total) {
                ReportProgress(progress, part * total + done, 3 * total);
            };
        };
        // The results file is written even when the data file cannot be, so that the results
        // of the run survive in a file that can be imported later; so is the recovery file.
        // Both files hold the same journal stream: it is packed once.
        std::optional<PackedData> studies;
        try {
            studies = root.PackStudies(third(0));
        } catch (const std::exception& error) {
            Report(messageOf(error));
        }
        const PackedData* packed = studies ? &*studies : nullptr;
        const std::optional<QString> savedAs = FinalSave(packed, third(1));
        // Beside the data file wherever it went, so that the two stay together.
        const QString results =
            savedAs ? QFileInfo(*savedAs).dir().filePath(QString::fromLatin1(kStudiesFileName))
                    : studiesFile();
        try {
            root.Studies().SaveToFile(results, packed);
        } catch (const std::exception& error) {
            Report(DescribeFileFailure(
                QStringLiteral("Не удалось записать файл результатов %1").arg(results), error,
                results));
        }
        ReportProgress(progress, 1, 1);
    }
    unattended_ = false;
}

std::optional<QString> TDM::FinalSave(const PackedData* packedStudies, const Progress& progress) {
    QString target = dataFile();
    for (;;) {
        try {
            WriteDataFile(target, packedStudies, progress);
            if (target != dataFile()) {
                prompts().inform(
                    QStringLiteral("Файл данных сохранён как %1. Перенесите его в папку данных "
                                   "%2 под именем %3.")
                        .arg(QDir::toNativeSeparators(target),
                             QDir::toNativeSeparators(programFolder()),
                             QString::fromLatin1(kDataFileName)),
                    kProgramCaption, QMessageBox::Information);
            }
            return target;
        } catch (const std::exception& error) {
            const QString failure =
                DescribeFileFailure(QStringLiteral("Не удалось сохранить файл данных %1")
                                        .arg(QDir::toNativeSeparators(target)),
                                    error, target);
            if (unattended_) {
                Report(failure);
                return std::nullopt;
            }
            const QMessageBox::StandardButton answer = prompts().ask(
                failure +
                    QStringLiteral(
                        "\n\n«Повторить» - попытаться снова, устранив причину.\n«Сохранить» - "
                        "сохранить в другом месте.\n«Пропустить» - не сохранять: "
                        "несохранённое в этой работе пропадёт."),
                kProgramCaption, QMessageBox::Critical,
                QMessageBox::Retry | QMessageBox::Save | QMessageBox::Ignore, QMessageBox::Retry);
            if (answer == QMessageBox::Save) {
                const QString chosen = prompts().saveFile(
                    QStringLiteral("Сохранить файл данных"), QStringLiteral("Файлы *.exd (*.exd)"),
                    QDir::home().filePath(QString::fromLatin1(kDataFileName)),
                    QStringLiteral("exd"));
                if (!chosen.isEmpty()) {
                    target = chosen;
                }
            } else if (answer != QMessageBox::Retry) {
                return std::nullopt;
            }
        }
    }
}

void TDM::Report(const QString& text) const {
    if (unattended_) {
        std::fputs(("kvalor: " + text + "\n").toLocal8Bit().constData(), stderr);
    } else {
        showError(text);
    }
}

void TDM::ReleaseDataFile() {
    dataLoaded_ = false;
    link_.reset();
    removals_.reset();
    recovery_.reset();
    saved_.reset();
    lock_.reset();
    network_.reset();
}

void TDM::WriteDataFile(const QString& fileName, const PackedData* packedStudies,
                        const Progress& progress) {
    TKvalor& root = kvalorRoot();
    if (unattended_ || progress) {
        root.SaveToFile(fileName, packedStudies, progress);
        ReportProgress(progress, 1, 1);
    } else {
        ProgressWindow progress(QStringLiteral("Сохранение файла данных..."));
        root.SaveToFile(fileName, packedStudies, progress.callback());
    }
    // A copy elsewhere, or any file of the network mode, is no save of the run's store.
    if (network_ || fileName != dataFile()) {
        return;
    }
    Saved();
}

void TDM::Saved() {
    saved_ = std::make_unique<TStudyReferences>(kvalorRoot());
    if (recovery_) {
        try {
            recovery_->Discard();
        } catch (const std::exception& error) {
            // Saved all the same: a recovery file left behind costs only a question at the
            // next start.
            Report(messageOf(error));
        }
    }
}

void TDM::SaveDataFile(const PackedData* packedStudies) {
    // What a failed load left in memory must never replace the file it could not read.
    if (!dataLoaded_) {
        throw KvalorError(
            "База данных не была прочитана при запуске программы. Сохранение невозможно");
    }
    if (network_) {
        SaveToServer();
        return;
    }
    try {
        WriteDataFile(dataFile(), packedStudies);
    } catch (const std::exception& error) {
        throw KvalorError(DescribeFileFailure(QStringLiteral("Не удалось сохранить файл данных %1")
                                                  .arg(QDir::toNativeSeparators(dataFile())),
                                              error, dataFile()));
    }
}

void TDM::StudyJournaled(const TStudy& study) {
    if (network_) {
        SendStudy(study);
        return;
    }
    if (!recovery_) {
        return;
    }
    if (dataLoaded_ && saved_ && !saved_->HasEverything(study)) {
        if (guarded([this] { SaveDataFile(); })) {
            return;
        }
    }
    guarded([this, &study] { recovery_->Record(study); });
}

void TDM::SaveToServer() {
    if (link_) {
        link_->RequireServer();
    }
    bool reloaded = false;
    try {
        network_->Save(kvalorRoot());
    } catch (const ServerConflict& conflict) {
        if (unattended_ ||
            !NetworkRun::OfferReload(conflict.message(),
                                     QStringLiteral("оставить изменения несохранёнными."))) {
            throw KvalorError("Изменения этого компьютера не сохранены на сервере");
        }
        reloaded = true;
    }
    if (reloaded) {
        ReloadFromServer();
        throw KvalorError(dataLoaded_ ? "Данные загружены с сервера заново. Изменения этого "
                                        "компьютера не сохранены"
                                      : "Изменения этого компьютера не сохранены на сервере");
    }
    Saved();
}

void TDM::SendStudy(const TStudy& study) {
    if (link_) {
        guarded([this, &study] { link_->Send(study); });
        return;
    }
    // Kept on this computer until the server has it: a lost connection or a crash loses none.
    if (recovery_) {
        guarded([this, &study] { recovery_->Record(study); });
    }
    if (!dataLoaded_) {
        return;
    }
    guarded([this, &study] {
        // An account or a test made in this run and not saved yet goes to the server with it.
        if (!saved_ || !saved_->HasEverything(study)) {
            SaveToServer();
            return;
        }
        network_->WriteStudy(study);
        if (recovery_) {
            recovery_->Forget(study);
        }
    });
}

void TDM::FinalServerSave() {
    for (;;) {
        QString failure;
        try {
            network_->Save(kvalorRoot());
            Saved();
            return;
        } catch (const std::exception& error) {
            failure = messageOf(error);
        }
        const QString kept =
            recovery_ ? NetworkRun::KeptForNextStart(recovery_->FileName()) : QString();
        if (unattended_) {
            Report(failure + kept);
            return;
        }
        const QMessageBox::StandardButton answer = NetworkRun::AskAtFailedEnd(failure, kept);
        if (answer == QMessageBox::Save) {
            // What the server refused is kept whole in a data file of its own.
            const QString chosen = prompts().saveFile(
                QStringLiteral("Сохранить файл данных"), QStringLiteral("Файлы *.exd (*.exd)"),
                QDir::home().filePath(QString::fromLatin1(kDataFileName)), QStringLiteral("exd"));
            if (!chosen.isEmpty() && guarded([this, &chosen] { WriteDataFile(chosen, nullptr); })) {
                prompts().inform(QStringLiteral("Данные этой работы сохранены в файле %1: его "
                                                "можно открыть в файловом режиме (--data).")
                                     .arg(QDir::toNativeSeparators(chosen)),
                                 kProgramCaption, QMessageBox::Information);
                return;
            }
        } else if (answer != QMessageBox::Retry) {
            return;
        }
    }
}

void TDM::ReloadFromServer() {
    if (!network_) {
        return;
    }
    emit dataReplacing();
    link_.reset();
    // Emptying the journal is no deletion of results: the recovery file keeps them.
    removals_.reset();
    saved_.reset();
    dataLoaded_ = false;
    TKvalor& root = kvalorRoot();
    // Whoever works in the program stays logged in, as the account of the new data.
    const std::optional<Guid> current =
        root.CurrentUser() ? std::optional<Guid>(root.CurrentUser()->Id()) : std::nullopt;
    QString loadError;
    {
        ProgressWindow progress(QStringLiteral("Загрузка данных с сервера..."));
        try {
            network_->Load(root, progress.callback());
            dataLoaded_ = true;
        } catch (const std::exception& error) {
            loadError = messageOf(error);
        }
    }
    if (current) {
        root.SetCurrentUser(dynamic_cast<TCompetitor*>(root.Users().FindItem(*current)));
    }
    if (dataLoaded_) {
        saved_ = std::make_unique<TStudyReferences>(root);
        if (recovery_) {
            RecoverResults(true);
        }
        StartServerLink();
    } else {
        showLoadError(
            loadError +
            QStringLiteral("\n\nЭта работа больше ничего не запишет на сервер. "
                           "Результаты тестирования сохранятся в файле %1.")
                .arg(recovery_ ? QDir::toNativeSeparators(recovery_->FileName()) : QString()));
    }
    WatchRemovals();
    emit dataReplaced();
}

void TDM::StartServerLink() {
    if (!network_ || !dataLoaded_ || !recovery_) {
        return;
    }
    const auto complete = [this](const TStudy& study) {
        return saved_ && saved_->HasEverything(study);
    };
    const auto saveAll = [this] {
        network_->Save(kvalorRoot());
        Saved();
    };
    link_ = std::make_unique<ServerLink>(*network_, *recovery_, kvalorRoot(),
                                         ServerLink::DataSaving{complete, saveAll});
    connect(link_.get(), &ServerLink::serverStateChanged, this, &TDM::serverStateChanged);
    connect(link_.get(), &ServerLink::studiesArrived, this, &TDM::studiesArrived);
    // Queued: the offer to reload may replace the data, and the link with them.
    connect(link_.get(), &ServerLink::listsChanged, this, &TDM::listsChanged, Qt::QueuedConnection);
    emit serverStateChanged(link_->Connected(), link_->Queued());
}

TDM& dataModule() {
    static TDM module;
    return module;
}

}  // namespace kvalor
