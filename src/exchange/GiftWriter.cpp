#include "exchange/GiftWriter.h"

#include <algorithm>

#include <QString>
#include <QStringView>

#include "model/TypeIds.h"

namespace kvalor {

namespace {

QString escaped(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'\r') {
            continue;
        }
        if (c == u'\n') {
            out += QStringLiteral("\\n");
            continue;
        }
        if (QStringView(u"~=#{}:\\").contains(c)) {
            out += u'\\';
        }
        out += c;
    }
    return out;
}

// A weight in front of an answer that starts with "%" keeps that "%" from reading as one, and
// "[plain]" keeps a leading "[html]" and the like text.
QString answerLine(const DraftAnswer& answer, QString weight, bool oneAnswer) {
    if (weight.isEmpty() && answer.text.startsWith(u'%')) {
        weight = answer.right ? QStringLiteral("100") : QStringLiteral("0");
    }
    QString line = QStringLiteral("\t") + (oneAnswer && answer.right ? u'=' : u'~');
    if (!weight.isEmpty()) {
        line += u'%' + weight + u'%';
    }
    if (answer.text.startsWith(u'[')) {
        line += QStringLiteral("[plain]");
    }
    return line + escaped(answer.text) + u'\n';
}

}  // namespace

QByteArray WriteGift(const std::vector<ExportQuestion>& questions) {
    QString text;
    const QStringList* category = nullptr;
    for (const ExportQuestion& question : questions) {
        if (category == nullptr || *category != question.category) {
            category = &question.category;
            text +=
                QStringLiteral("$CATEGORY: ") + WrittenCategory(*category) + QStringLiteral("\n\n");
        }
        // "[plain]" first: the text is no markup, and a line that starts with it cannot be
        // taken for a comment or a category.
        text += QStringLiteral("[plain]") + escaped(question.text) + QStringLiteral(" {\n");
        const bool oneAnswer = question.type == kSingleAnswer;
        const auto right = std::count_if(question.answers.begin(), question.answers.end(),
                                         [](const DraftAnswer& answer) { return answer.right; });
        for (const DraftAnswer& answer : question.answers) {
            const QString weight = oneAnswer      ? QString()
                                   : answer.right ? RightShare(static_cast<int>(right))
                                                  : QStringLiteral("-100");
            text += answerLine(answer, weight, oneAnswer);
        }
        text += QStringLiteral("}\n\n");
    }
    return text.toUtf8();
}

}  // namespace kvalor
