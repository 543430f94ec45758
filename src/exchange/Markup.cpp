#include "exchange/Markup.h"

#include <QRegularExpression>
#include <QStringView>

namespace kvalor {

namespace {

// Tags that sit inside a word and leave no gap when removed.
bool inlineTag(QStringView name) {
    static const QStringView kInline[] = {u"a",      u"abbr",   u"b",    u"big", u"code",  u"em",
                                          u"font",   u"i",      u"mark", u"s",   u"small", u"span",
                                          u"strike", u"strong", u"sub",  u"sup", u"tt",    u"u"};
    for (const QStringView tag : kInline) {
        if (name.compare(tag, Qt::CaseInsensitive) == 0) {
            return true;
        }
    }
    return false;
}

// "&amp;", "&#1044;", "&#x416;" and the like; an unknown or malformed entity stays as it is.
bool decodeEntity(QStringView text, qsizetype at, QString& out, qsizetype& length) {
    constexpr qsizetype kLongestEntity = 10;
    const qsizetype end =
        text.sliced(at).first(qMin(kLongestEntity, text.size() - at)).indexOf(u';');
    if (end < 2) {
        return false;
    }
    const QStringView name = text.sliced(at + 1, end - 1);
    // The entities of HTML editors' output; the rest are rare in questions.
    static const struct {
        QStringView name;
        char16_t value;
    } kNamed[] = {{u"amp", u'&'},         {u"lt", u'<'},          {u"gt", u'>'},
                  {u"quot", u'"'},        {u"apos", u'\''},       {u"nbsp", u'\u00A0'},
                  {u"mdash", u'\u2014'},  {u"ndash", u'\u2013'},  {u"laquo", u'\u00AB'},
                  {u"raquo", u'\u00BB'},  {u"bdquo", u'\u201E'},  {u"ldquo", u'\u201C'},
                  {u"rdquo", u'\u201D'},  {u"lsquo", u'\u2018'},  {u"rsquo", u'\u2019'},
                  {u"hellip", u'\u2026'}, {u"deg", u'\u00B0'},    {u"plusmn", u'\u00B1'},
                  {u"times", u'\u00D7'},  {u"divide", u'\u00F7'}, {u"middot", u'\u00B7'},
                  {u"copy", u'\u00A9'},   {u"reg", u'\u00AE'},    {u"trade", u'\u2122'},
                  {u"euro", u'\u20AC'},   {u"sect", u'\u00A7'},   {u"numero", u'\u2116'}};
    for (const auto& named : kNamed) {
        if (name == named.name) {
            out.append(QChar(named.value));
            length = end + 1;
            return true;
        }
    }
    if (!name.startsWith(u'#')) {
        return false;
    }
    bool ok = false;
    const char32_t code = name.size() > 1 && (name[1] == u'x' || name[1] == u'X')
                              ? name.sliced(2).toUInt(&ok, 16)
                              : name.sliced(1).toUInt(&ok, 10);
    if (!ok || code == 0 || code > 0x10FFFF || (code >= 0xD800 && code <= 0xDFFF)) {
        return false;
    }
    out.append(QString::fromUcs4(&code, 1));
    length = end + 1;
    return true;
}

}  // namespace

QString PlainFromHtml(const QString& text) {
    QString out;
    out.reserve(text.size());
    // Where the next ">" is, found once per tag: a text full of "<" without ">" stays linear.
    qsizetype nextClose = -1;
    for (qsizetype i = 0; i < text.size();) {
        const QChar c = text[i];
        if (c == u'<' && i + 1 < text.size() &&
            (text[i + 1].isLetter() || text[i + 1] == u'/' || text[i + 1] == u'!')) {
            if (nextClose != text.size() && nextClose < i) {
                nextClose = text.indexOf(u'>', i);
                if (nextClose < 0) {
                    nextClose = text.size();
                }
            }
            if (nextClose < text.size()) {
                qsizetype nameStart = text[i + 1] == u'/' ? i + 2 : i + 1;
                qsizetype nameEnd = nameStart;
                while (nameEnd < nextClose && text[nameEnd].isLetterOrNumber()) {
                    ++nameEnd;
                }
                if (!inlineTag(QStringView(text).sliced(nameStart, nameEnd - nameStart))) {
                    out.append(u' ');
                }
                i = nextClose + 1;
                continue;
            }
        }
        qsizetype length = 0;
        if (c == u'&' && decodeEntity(text, i, out, length)) {
            i += length;
            continue;
        }
        out.append(c);
        ++i;
    }
    return out;
}

// The patterns never cross the character that ends them, so a hostile text costs linear time.
QString PlainFromMarkdown(QString text) {
    // Markdown's own escapes are hidden from the patterns and restored at the end.
    static const QRegularExpression kEscape(QStringLiteral(R"(\\([\\`*_\[\]()#+\-.!>]))"));
    static const struct {
        QRegularExpression pattern;
        QString replacement;
    } kRules[] = {
        {QRegularExpression(QStringLiteral(R"(!?\[([^\[\]]*)\]\([^()\[\]]*\))")),
         QStringLiteral("\\1")},
        {QRegularExpression(QStringLiteral(R"(\*\*([^*]+)\*\*)")), QStringLiteral("\\1")},
        {QRegularExpression(QStringLiteral(R"(__([^_]+)__)")), QStringLiteral("\\1")},
        {QRegularExpression(QStringLiteral(R"(\*([^*\s][^*]*)\*)")), QStringLiteral("\\1")},
        {QRegularExpression(QStringLiteral(R"((?<!\w)_([^_\s][^_]*)_(?!\w))")),
         QStringLiteral("\\1")},
        {QRegularExpression(QStringLiteral(R"(`([^`]*)`)")), QStringLiteral("\\1")},
        {QRegularExpression(QStringLiteral(R"((^|\n)[ \t]{0,3}(#{1,6}|>)[ \t]*)")),
         QStringLiteral("\\1")},
    };
    QString hidden;
    hidden.reserve(text.size());
    qsizetype last = 0;
    for (auto it = kEscape.globalMatch(text); it.hasNext();) {
        const auto match = it.next();
        hidden.append(QStringView(text).sliced(last, match.capturedStart() - last));
        hidden.append(QChar(0xF000 + match.captured(1).at(0).unicode()));
        last = match.capturedEnd();
    }
    hidden.append(QStringView(text).sliced(last));
    for (const auto& rule : kRules) {
        hidden.replace(rule.pattern, rule.replacement);
    }
    text.clear();
    text.reserve(hidden.size());
    for (const QChar c : hidden) {
        const bool wasEscaped = c.unicode() >= 0xF000 && c.unicode() < 0xF080;
        text.append(wasEscaped ? QChar(c.unicode() - 0xF000) : c);
    }
    return text;
}

}  // namespace kvalor
