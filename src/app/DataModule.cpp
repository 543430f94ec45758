#include "app/DataModule.h"

#include <exception>
#include <optional>

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QMessageBox>
#include <QSettings>

#include "app/ProgressWindow.h"
#include "model/AccountMessages.h"
#include "model/Kvalor.h"
#include "model/StarterData.h"
#include "model/StudyList.h"
#include "storage/DataFileLock.h"
#include "storage/DataStreams.h"
#include "storage/RecoveryFile.h"
#include "ui/ErrorGuard.h"
#include "ui/Fonts.h"
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
            QStringLiteral("Квалор"), QMessageBox::Information);
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

void TDM::SetRunMode(std::uint8_t mode) {
    runMode_ = mode;
    emit runModeChanged(mode);
}

TDM::TDM() = default;
TDM::~TDM() = default;

bool TDM::DataModuleCreate(FirstStart firstStart, const Progress& loadProgress) {
    // Nothing of an earlier load may be saved by a run that is refused or fails to load.
    dataLoaded_ = false;
    removals_.reset();
    recovery_.reset();
    // The lock is kept when the same data file is opened again.
    if (!lock_ || lock_->LockFileName() != DataFileLock::LockFileNameFor(dataFile())) {
        lock_.reset();
        try {
            lock_ = std::make_unique<DataFileLock>(dataFile());
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

    if (firstStart == FirstStart::WriteStarterData && isNewDataFolder()) {
        writeStarterData();
    }

    try {
        root.LoadFromFile(dataFile(), true, loadProgress);
        dataLoaded_ = true;
    } catch (const KvalorError& error) {
        showLoadError(error.message());
    } catch (const std::exception& error) {
        // Whatever else a damaged file provokes must not end the run before it starts; the
        // file is then not written at the end either.
        showLoadError(QString::fromUtf8(error.what()));
    }
    if (dataLoaded_) {
        recovery_ = std::make_unique<RecoveryFile>(dataFile());
        RecoverResults();
        removals_ =
            std::make_unique<StudyRemovalWatch>(root.Studies(), [this](const TStudy& study) {
                if (recovery_) {
                    guarded([this, &study] { recovery_->Forget(study); });
                }
            });
    }
    SetRunMode(kRunModeNone);
    return true;
}

void TDM::RecoverResults() {
    const QString caption = QStringLiteral("Квалор");
    try {
        if (!recovery_->Load()) {
            return;
        }
    } catch (const std::exception& error) {
        const auto* known = dynamic_cast<const KvalorError*>(&error);
        QString text = QStringLiteral("Файл восстановления %1 не удалось прочитать:\n%2\n")
                           .arg(recovery_->FileName(),
                                known ? known->message() : QString::fromUtf8(error.what()));
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
        prompts().inform(text, caption, QMessageBox::Warning);
        return;
    }
    TKvalor& root = kvalorRoot();
    const int before = root.Studies().Count();
    if (!guarded([&root, this] { root.ImportStudies({recovery_->FileName()}); })) {
        return;
    }
    const int recovered = root.Studies().Count() - before;
    // Saved at once, so that the recovered results are safe even if this run ends as badly.
    const bool saved = guarded([this] { SaveDataFile(); });
    if (recovered > 0) {
        prompts().inform(
            QStringLiteral("Предыдущая работа с программой не была завершена. Из файла "
                           "восстановления в журнал возвращено результатов тестирования: %1.\n%2")
                .arg(recovered)
                .arg(saved ? QStringLiteral("Они сохранены в файле данных.")
                           : QStringLiteral("Файл данных сохранить не удалось, файл "
                                            "восстановления оставлен на месте.")),
            caption, QMessageBox::Information);
    }
}

void TDM::DataModuleDestroy() {
    TKvalor& root = kvalorRoot();
    {
        QSettings settings = openSettings();
        settings.setValue(kFontKey, root.FontSize());
        settings.sync();
    }
    // A data file that failed to load is never overwritten by a run that did not read it.
    if (dataLoaded_) {
        // The results file is written even when the data file cannot be, so that the results
        // of the run survive in a file that can be imported later; so is the recovery file.
        // Both files hold the same journal stream: it is packed once.
        std::optional<PackedData> studies;
        guarded([&root, &studies] { studies = root.PackStudies(); });
        const PackedData* packed = studies ? &*studies : nullptr;
        guarded([this, packed] { SaveDataFile(packed); });
        guarded([&root, packed] {
            root.Studies().SaveToFile(programFile(QString::fromLatin1(kStudiesFileName)), packed);
        });
    }
    ReleaseDataFile();
}

void TDM::ReleaseDataFile() {
    dataLoaded_ = false;
    removals_.reset();
    recovery_.reset();
    lock_.reset();
}

void TDM::SaveDataFile(const PackedData* packedStudies) {
    ProgressWindow progress(QStringLiteral("Сохранение файла данных..."));
    kvalorRoot().SaveToFile(dataFile(), packedStudies, progress.callback());
    if (recovery_) {
        recovery_->Discard();
    }
}

void TDM::StudyJournaled(const TStudy& study) {
    if (recovery_) {
        guarded([this, &study] { recovery_->Record(study); });
    }
}

TDM& dataModule() {
    static TDM module;
    return module;
}

}  // namespace kvalor
