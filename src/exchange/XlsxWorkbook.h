#pragma once

#include <QString>
#include <cstdint>
#include <map>
#include <memory>
#include <string>
#include <tuple>

struct lxw_workbook;
struct lxw_worksheet;
struct lxw_format;

namespace kvalor {

// What the exports say when a workbook cannot be written or opened.
inline constexpr const char* kExcelInitMessage = "Ошибка инициализации Excel";

// The look of one cell: the few properties the exports use.
struct CellStyle {
    enum class HAlign : std::uint8_t { General, Left, Center };
    enum class VAlign : std::uint8_t { Bottom, Top };
    enum Edge : std::uint8_t { Left = 1, Right = 2, Top = 4, Bottom = 8, AllEdges = 15 };
    // The font size of a new sheet, to which the marks of the results export are relative.
    static constexpr double kDefaultFontSize = 11.0;

    bool bold = false;
    bool italic = false;
    double fontSize = kDefaultFontSize;
    HAlign hAlign = HAlign::General;
    VAlign vAlign = VAlign::Bottom;
    bool wrap = false;
    std::uint8_t indent = 0;
    // Thin lines on the edges given (Edge flags).
    std::uint8_t borders = 0;
    // The cell's number format in the spreadsheet's codes ("@" keeps what is typed in as
    // text, "0.00" two decimals); empty for the general one.
    std::string numberFormat;

    auto key() const {
        return std::tie(bold, italic, fontSize, hAlign, vAlign, wrap, indent, borders,
                        numberFormat);
    }
    bool operator==(const CellStyle& other) const { return key() == other.key(); }
    bool operator<(const CellStyle& other) const { return key() < other.key(); }
};

// An .xlsx workbook being written with libxlsxwriter. Nothing reaches the disk before Close,
// which writes a fresh file and only then puts it in place: a failed export leaves no half
// file behind and never replaces an existing one.
class XlsxWorkbook {
public:
    // With an empty file name the workbook becomes a new file in the temporary folder, named
    // after the prefix. Raises kExcelInitMessage when the file cannot be prepared.
    XlsxWorkbook(const QString& fileName, const QString& prefix);
    ~XlsxWorkbook();
    XlsxWorkbook(const XlsxWorkbook&) = delete;
    XlsxWorkbook& operator=(const XlsxWorkbook&) = delete;

    // A worksheet of the given name (at most 31 characters, none of []:*?/\).
    lxw_worksheet* AddSheet(const QString& name);
    // One format per distinct style, made on first use; nullptr for the default look.
    lxw_format* Format(const CellStyle& style);
    // Writes the workbook and returns the name of the file written. Raises kExcelInitMessage,
    // followed by libxlsxwriter's own reason when it is the one that failed, when writing fails.
    // A new file gets the mode the umask allows; a replaced one keeps its mode.
    QString Close();

private:
    void discard();

    lxw_workbook* book_ = nullptr;
    QString target_;
    QString scratch_;
    std::map<CellStyle, lxw_format*> formats_;
};

}  // namespace kvalor
