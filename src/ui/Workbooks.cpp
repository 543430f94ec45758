#include "ui/Workbooks.h"

#include <QDesktopServices>
#include <QDir>
#include <QUrl>

#include "exchange/XlsxWorkbook.h"
#include "util/Error.h"

namespace kvalor {

namespace {

FileOpener& installedOpener() {
    static FileOpener opener;
    return opener;
}

}  // namespace

FileOpener setFileOpener(FileOpener opener) {
    FileOpener before = std::move(installedOpener());
    installedOpener() = std::move(opener);
    return before;
}

void OpenWorkbook(const QString& fileName) {
    const FileOpener& opener = installedOpener();
    const bool opened =
        opener ? opener(fileName) : QDesktopServices::openUrl(QUrl::fromLocalFile(fileName));
    if (!opened) {
        throw KvalorError(QString::fromUtf8(kExcelInitMessage) +
                          QStringLiteral("\nКнига записана в файл ") +
                          QDir::toNativeSeparators(fileName));
    }
}

}  // namespace kvalor
