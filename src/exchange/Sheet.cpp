#include "exchange/Sheet.h"

#include <xlsxwriter.h>

#include <QByteArray>
#include <QStringList>
#include <algorithm>
#include <cmath>

#include "util/Error.h"

namespace kvalor {

namespace {

// The most characters a cell holds; a longer text is cut there rather than lost.
constexpr qsizetype kMaxCellText = 32767;
// The widest a column can be.
constexpr double kMaxColumnWidth = 255.0;
// A line of text in points per point of its font, as the spreadsheets space them (15 for the
// default 11), and the height of a row they do not need to be told.
constexpr double kLineSpacing = 1.36;
constexpr double kDefaultRowHeight = 15.0;
// The tallest a row can be; a longer text is cut off there in print.
constexpr double kMaxRowHeight = 409.0;

QByteArray cellText(const QString& text) {
    return text.left(kMaxCellText).toUtf8();
}

// A column unit is about one character of the default font, a little more for bold and larger
// fonts.
double characterWidth(const CellStyle& style) {
    return style.fontSize / CellStyle::kDefaultFontSize * (style.bold ? 1.1 : 1.0);
}

// The lines a text takes when wrapped at blanks in a cell of the width (in column units);
// a word longer than a line is broken, as the spreadsheets break it.
int wrappedLines(const QString& text, double width, const CellStyle& style) {
    const double room = width - 1.5 * style.indent - 1.0;
    const auto perLine =
        static_cast<qsizetype>(std::max(1.0, std::floor(room / characterWidth(style))));
    int lines = 0;
    for (const QString& paragraph : text.split(u'\n')) {
        ++lines;
        qsizetype used = 0;
        for (const QString& word : paragraph.split(u' ', Qt::SkipEmptyParts)) {
            if (used > 0 && used + 1 + word.size() <= perLine) {
                used += 1 + word.size();
                continue;
            }
            lines += used > 0 ? 1 : 0;
            used = word.size();
            for (; used > perLine; used -= perLine) {
                ++lines;
            }
        }
    }
    return lines;
}

// Only the font of a style counts for the parts of a text.
CellStyle fontOf(const CellStyle& style, bool bold) {
    CellStyle font;
    font.bold = bold;
    font.italic = style.italic;
    font.fontSize = style.fontSize;
    return font;
}

}  // namespace

Sheet::Sheet(XlsxWorkbook& book, const QString& name, int columns, const CellStyle& base)
    : book_(book), sheet_(book.AddSheet(name)), base_(base), columns_(columns, Column(base)) {}

double Sheet::TextWidth(const QString& text, const CellStyle& style) {
    qsizetype longest = 0;
    for (const QString& line : text.split(u'\n')) {
        longest = std::max(longest, line.size());
    }
    return std::min(kMaxColumnWidth, static_cast<double>(longest) * characterWidth(style) +
                                         1.5 * style.indent + 1.0);
}

void Sheet::CheckRowCount(std::uint64_t rows) {
    if (rows > kMaxRows) {
        throw KvalorError(
            QStringLiteral("Экспорт займёт %1 строк, а лист Excel вмещает не больше %2.\n"
                           "Выберите меньше результатов")
                .arg(rows)
                .arg(kMaxRows));
    }
}

void Sheet::SetColumnStart(int column, const StyleEdit& edit) {
    edit(columns_.at(column).start);
}

void Sheet::SetColumnFinish(int column, StyleEdit edit) {
    columns_.at(column).finish = std::move(edit);
}

void Sheet::SetColumnWidth(int column, double width) {
    columns_.at(column).width = width;
}

void Sheet::PrintOnePageWide(std::uint16_t pagesTall, int headingRows) {
    printOnePageWide_ = true;
    pagesTall_ = pagesTall;
    headingRows_ = headingRows;
}

void Sheet::AddRow() {
    if (rowOpen_) {
        writeRow();
    }
    CheckRowCount(static_cast<std::uint64_t>(rowCount_) + 1);
    ++rowCount_;
    rowOpen_ = true;
    merged_ = false;
    boldPrefix_ = 0;
    cells_.clear();
    for (const Column& column : columns_) {
        cells_.push_back({QString(), std::nullopt, column.start});
    }
}

void Sheet::MergeRow() {
    merged_ = true;
}

CellStyle& Sheet::Style(int column) {
    return cells_.at(column).style;
}

void Sheet::EditRow(const StyleEdit& edit) {
    for (Cell& cell : cells_) {
        edit(cell.style);
    }
}

void Sheet::SetText(int column, const QString& text) {
    Cell& cell = cells_.at(column);
    cell.text = text;
    cell.number.reset();
}

void Sheet::SetNumber(int column, double value) {
    Cell& cell = cells_.at(column);
    cell.number = value;
    cell.text = QString::number(value);
}

QString Sheet::Text(int column) const {
    return cells_.at(column).text;
}

void Sheet::SetBoldPrefix(qsizetype length) {
    boldPrefix_ = length;
}

void Sheet::Finish() {
    if (rowOpen_) {
        writeRow();
        rowOpen_ = false;
    }
    const auto last = static_cast<lxw_col_t>(columns_.size() - 1);
    for (lxw_col_t c = 0; c <= last; ++c) {
        const Column& column = columns_[c];
        check(worksheet_set_column(sheet_, c, c, column.width,
                                   book_.Format(finalStyle(static_cast<int>(c), column.start))));
    }
    if (!(base_ == CellStyle())) {
        check(worksheet_set_column(sheet_, last + 1, LXW_COL_MAX - 1, LXW_DEF_COL_WIDTH,
                                   book_.Format(base_)));
    }
    if (printOnePageWide_) {
        check(worksheet_print_area(sheet_, 0, 0, std::max(rowCount_ - 1, 0), last));
        worksheet_fit_to_pages(sheet_, 1, pagesTall_);
        worksheet_set_portrait(sheet_);
        worksheet_set_paper(sheet_, 9);  // A4
        if (headingRows_ > 0 && rowCount_ > headingRows_) {
            check(worksheet_repeat_rows(sheet_, 0, static_cast<lxw_row_t>(headingRows_ - 1)));
        }
    }
}

std::optional<double> Sheet::rowHeight() const {
    double merged = 0.0;
    for (const Column& column : columns_) {
        merged += column.width;
    }
    double height = kDefaultRowHeight;
    for (std::size_t c = 0; c < (merged_ ? 1 : cells_.size()); ++c) {
        const Cell& cell = cells_[c];
        const CellStyle style = finalStyle(static_cast<int>(c), cell.style);
        const int lines = style.wrap && !cell.number
                              ? wrappedLines(cell.text, merged_ ? merged : columns_[c].width, style)
                              : 1;
        height = std::max(height, std::ceil(lines * style.fontSize * kLineSpacing));
    }
    return height > kDefaultRowHeight ? std::optional(std::min(height, kMaxRowHeight))
                                      : std::nullopt;
}

void Sheet::writeRow() {
    const auto row = static_cast<lxw_row_t>(rowCount_ - 1);
    if (const std::optional<double> height = rowHeight()) {
        check(worksheet_set_row(sheet_, row, *height, nullptr));
    }
    if (merged_) {
        CellStyle style = finalStyle(0, cells_[0].style);
        const QString text = cells_[0].text.left(kMaxCellText);
        if (boldPrefix_ >= text.size()) {
            style.bold = style.bold || boldPrefix_ > 0;
        }
        lxw_format* format = book_.Format(style);
        check(worksheet_merge_range(sheet_, row, 0, row, static_cast<lxw_col_t>(cells_.size() - 1),
                                    text.toUtf8().constData(), format));
        if (boldPrefix_ > 0 && boldPrefix_ < text.size()) {
            const QByteArray head = text.left(boldPrefix_).toUtf8();
            const QByteArray tail = text.mid(boldPrefix_).toUtf8();
            lxw_rich_string_tuple bold{book_.Format(fontOf(style, true)),
                                       const_cast<char*>(head.constData())};
            lxw_rich_string_tuple rest{book_.Format(fontOf(style, style.bold)),
                                       const_cast<char*>(tail.constData())};
            lxw_rich_string_tuple* parts[] = {&bold, &rest, nullptr};
            check(worksheet_write_rich_string(sheet_, row, 0, parts, format));
        }
        return;
    }
    for (std::size_t c = 0; c < cells_.size(); ++c) {
        const Cell& cell = cells_[c];
        const CellStyle style = finalStyle(static_cast<int>(c), cell.style);
        lxw_format* format = book_.Format(style);
        const auto column = static_cast<lxw_col_t>(c);
        if (cell.number) {
            check(worksheet_write_number(sheet_, row, column, *cell.number, format));
        } else if (!cell.text.isEmpty()) {
            check(worksheet_write_string(sheet_, row, column, cellText(cell.text).constData(),
                                         format));
        } else if (format != nullptr) {
            check(worksheet_write_blank(sheet_, row, column, format));
        }
    }
}

CellStyle Sheet::finalStyle(int column, CellStyle style) const {
    if (const StyleEdit& finish = columns_[static_cast<std::size_t>(column)].finish) {
        finish(style);
    }
    return style;
}

void Sheet::check(int error) {
    if (error != LXW_NO_ERROR) {
        throw KvalorError(kExcelInitMessage);
    }
}

}  // namespace kvalor
