#include "ui/Clipboard.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMimeData>

namespace kvalor {

namespace {

const QMimeData* clipboardData() {
    return QGuiApplication::clipboard()->mimeData();
}

bool has(const QMimeData* data, ClipboardFormat format) {
    return data && data->hasFormat(ClipboardMimeType(format));
}

}  // namespace

QString ClipboardMimeType(ClipboardFormat format) {
    return QStringLiteral("application/x-kvalor-%1").arg(static_cast<int>(format));
}

bool ClipboardHasProgramData() {
    const QMimeData* data = clipboardData();
    for (const ClipboardFormat format : kClipboardFormats) {
        if (has(data, format)) {
            return true;
        }
    }
    return false;
}

bool ClipboardHasQuestions() {
    return has(clipboardData(), ClipboardFormat::Questions);
}

void ClipboardPut(ClipboardFormat format, const ByteStream& block) {
    // A new data object replaces whatever the clipboard held, in every format.
    auto* data = new QMimeData;
    const std::string& bytes = block.data();
    data->setData(ClipboardMimeType(format),
                  QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    QGuiApplication::clipboard()->setMimeData(data);
}

std::optional<ClipboardBlock> ClipboardGet() {
    const QMimeData* data = clipboardData();
    for (const ClipboardFormat format : kClipboardFormats) {
        if (has(data, format)) {
            const QByteArray bytes = data->data(ClipboardMimeType(format));
            return ClipboardBlock{format, ByteStream(bytes.toStdString())};
        }
    }
    return std::nullopt;
}

}  // namespace kvalor
