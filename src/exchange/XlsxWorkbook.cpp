#include "exchange/XlsxWorkbook.h"

#include <xlsxwriter.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryFile>
#include <cstdio>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "util/Error.h"

namespace kvalor {

namespace {

// A new empty file from the template, kept after the object goes; empty when none could be made.
QString createFreshFile(const QString& templateName) {
    QTemporaryFile file(templateName);
    file.setAutoRemove(false);
    return file.open() ? file.fileName() : QString();
}

// The mode a file created by the user's programs gets: an export replaces one keeping its mode,
// as an editor saving over it would.
mode_t modeFor(const QString& target) {
    struct stat existing;
    if (::stat(QFile::encodeName(target).constData(), &existing) == 0) {
        return existing.st_mode & 07777;
    }
    const mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Flushes a file or a folder to the disk; false when the system reports a failure.
bool syncPath(const QString& path) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    const bool synced = ::fsync(fd) == 0;
    return ::close(fd) == 0 && synced;
}

void applyStyle(lxw_format* format, const CellStyle& style) {
    if (style.bold) {
        format_set_bold(format);
    }
    if (style.italic) {
        format_set_italic(format);
    }
    format_set_font_size(format, style.fontSize);
    if (style.hAlign == CellStyle::HAlign::Left) {
        format_set_align(format, LXW_ALIGN_LEFT);
    } else if (style.hAlign == CellStyle::HAlign::Center) {
        format_set_align(format, LXW_ALIGN_CENTER);
    }
    if (style.vAlign == CellStyle::VAlign::Top) {
        format_set_align(format, LXW_ALIGN_VERTICAL_TOP);
    }
    if (style.wrap) {
        format_set_text_wrap(format);
    }
    if (style.indent > 0) {
        format_set_indent(format, style.indent);
    }
    if (style.borders & CellStyle::Left) {
        format_set_left(format, LXW_BORDER_THIN);
    }
    if (style.borders & CellStyle::Right) {
        format_set_right(format, LXW_BORDER_THIN);
    }
    if (style.borders & CellStyle::Top) {
        format_set_top(format, LXW_BORDER_THIN);
    }
    if (style.borders & CellStyle::Bottom) {
        format_set_bottom(format, LXW_BORDER_THIN);
    }
    if (!style.numberFormat.empty()) {
        format_set_num_format(format, style.numberFormat.c_str());
    }
}

}  // namespace

XlsxWorkbook::XlsxWorkbook(const QString& fileName, const QString& prefix) : target_(fileName) {
    if (target_.isEmpty()) {
        target_ =
            createFreshFile(QDir::tempPath() + u'/' + prefix + QStringLiteral("-XXXXXX.xlsx"));
        scratch_ = target_;
    } else {
        // Beside the target, so that putting it in place is a rename within one file system.
        const QFileInfo info(target_);
        scratch_ = createFreshFile(info.absolutePath() + QStringLiteral("/.") + info.fileName() +
                                   QStringLiteral("-XXXXXX"));
    }
    if (scratch_.isEmpty()) {
        throw KvalorError(kExcelInitMessage);
    }
    book_ = workbook_new(QFile::encodeName(scratch_).constData());
    if (book_ == nullptr) {
        discard();
        throw KvalorError(kExcelInitMessage);
    }
}

XlsxWorkbook::~XlsxWorkbook() {
    if (book_ != nullptr) {
        lxw_workbook_free(book_);
        discard();
    }
}

lxw_worksheet* XlsxWorkbook::AddSheet(const QString& name) {
    lxw_worksheet* sheet = workbook_add_worksheet(book_, name.toUtf8().constData());
    if (sheet == nullptr) {
        throw KvalorError(kExcelInitMessage);
    }
    return sheet;
}

lxw_format* XlsxWorkbook::Format(const CellStyle& style) {
    if (style == CellStyle()) {
        return nullptr;
    }
    auto [it, added] = formats_.try_emplace(style, nullptr);
    if (added) {
        it->second = workbook_add_format(book_);
        if (it->second == nullptr) {
            formats_.erase(it);
            throw KvalorError(kExcelInitMessage);
        }
        applyStyle(it->second, style);
    }
    return it->second;
}

QString XlsxWorkbook::Close() {
    // The workbook is freed by closing, whether or not the file could be written.
    const lxw_error error = workbook_close(book_);
    book_ = nullptr;
    if (error != LXW_NO_ERROR) {
        discard();
        throw KvalorError(QString::fromUtf8(kExcelInitMessage) + QStringLiteral(": ") +
                          QString::fromUtf8(lxw_strerror(error)));
    }
    if (scratch_ != target_) {
        const QByteArray scratch = QFile::encodeName(scratch_);
        const QByteArray target = QFile::encodeName(target_);
        if (::chmod(scratch.constData(), modeFor(target_)) != 0 || !syncPath(scratch_) ||
            std::rename(scratch.constData(), target.constData()) != 0) {
            discard();
            throw KvalorError(kExcelInitMessage);
        }
        syncPath(QFileInfo(target_).absolutePath());
    }
    return target_;
}

void XlsxWorkbook::discard() {
    QFile::remove(scratch_);
}

}  // namespace kvalor
