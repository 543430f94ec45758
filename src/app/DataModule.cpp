#include "app/DataModule.h"

#include <exception>

#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QSettings>

#include "model/AccountMessages.h"
#include "model/Kvalor.h"
#include "model/StudyList.h"
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

void TDM::DataModuleCreate() {
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

    dataLoaded_ = false;
    try {
        root.LoadFromFile(programFile(QString::fromLatin1(kDataFileName)), true);
        dataLoaded_ = true;
    } catch (const KvalorError& error) {
        showLoadError(error.message());
    } catch (const std::exception& error) {
        // Whatever else a damaged file provokes must not end the run before it starts; the
        // file is then not written at the end either.
        showLoadError(QString::fromUtf8(error.what()));
    }
    SetRunMode(kRunModeNone);
}

void TDM::DataModuleDestroy() {
    TKvalor& root = kvalorRoot();
    {
        QSettings settings = openSettings();
        settings.setValue(kFontKey, root.FontSize());
        settings.sync();
    }
    // A data file that failed to load is never overwritten by a run that did not read it.
    if (!dataLoaded_) {
        return;
    }
    // The results file is written even when the data file cannot be, so that the results of
    // the run survive in a file that can be imported later.
    guarded([&root] { root.SaveToFile(programFile(QString::fromLatin1(kDataFileName))); });
    guarded(
        [&root] { root.Studies().SaveToFile(programFile(QString::fromLatin1(kStudiesFileName))); });
}

TDM& dataModule() {
    static TDM module;
    return module;
}

}  // namespace kvalor
