#include "exchange/MoodleXmlWriter.h"

#include <algorithm>

#include <QString>
#include <QXmlStreamWriter>

#include "model/TypeIds.h"

namespace kvalor {

namespace {

// An element with a format and a <text> child: how the format carries every text.
void writeText(QXmlStreamWriter& xml, const QString& element, const QString& plain) {
    xml.writeStartElement(element);
    xml.writeAttribute(QStringLiteral("format"), QStringLiteral("html"));
    xml.writeTextElement(QStringLiteral("text"), plain.toHtmlEscaped());
    xml.writeEndElement();
}

void writeCategory(QXmlStreamWriter& xml, const QStringList& path) {
    xml.writeStartElement(QStringLiteral("question"));
    xml.writeAttribute(QStringLiteral("type"), QStringLiteral("category"));
    xml.writeStartElement(QStringLiteral("category"));
    xml.writeTextElement(QStringLiteral("text"), WrittenCategory(path));
    xml.writeEndElement();
    xml.writeEndElement();
}

void writeAnswer(QXmlStreamWriter& xml, const QString& fraction, const QString& text) {
    xml.writeStartElement(QStringLiteral("answer"));
    xml.writeAttribute(QStringLiteral("fraction"), fraction);
    xml.writeAttribute(QStringLiteral("format"), QStringLiteral("html"));
    xml.writeTextElement(QStringLiteral("text"), text.toHtmlEscaped());
    xml.writeEndElement();
}

void writeQuestion(QXmlStreamWriter& xml, const ExportQuestion& question) {
    const bool sequence = question.type == kSequence;
    xml.writeStartElement(QStringLiteral("question"));
    xml.writeAttribute(QStringLiteral("type"),
                       sequence ? QStringLiteral("ordering") : QStringLiteral("multichoice"));
    xml.writeStartElement(QStringLiteral("name"));
    xml.writeTextElement(QStringLiteral("text"), FirstWords(question.text));
    xml.writeEndElement();
    writeText(xml, QStringLiteral("questiontext"), question.text);
    xml.writeTextElement(QStringLiteral("defaultgrade"), QStringLiteral("1"));
    xml.writeTextElement(QStringLiteral("penalty"), QStringLiteral("0.3333333"));
    xml.writeTextElement(QStringLiteral("hidden"), QStringLiteral("0"));
    if (sequence) {
        xml.writeTextElement(QStringLiteral("layouttype"), QStringLiteral("VERTICAL"));
        xml.writeTextElement(QStringLiteral("selecttype"), QStringLiteral("ALL"));
        xml.writeTextElement(QStringLiteral("selectcount"), QStringLiteral("0"));
        xml.writeTextElement(QStringLiteral("gradingtype"), QStringLiteral("ALL_OR_NOTHING"));
        for (std::size_t i = 0; i < question.answers.size(); ++i) {
            writeAnswer(xml, QString::number(i + 1), question.answers[i].text);
        }
    } else {
        const bool single = question.type == kSingleAnswer;
        xml.writeTextElement(QStringLiteral("single"),
                             single ? QStringLiteral("true") : QStringLiteral("false"));
        xml.writeTextElement(QStringLiteral("shuffleanswers"),
                             question.allowMix ? QStringLiteral("1") : QStringLiteral("0"));
        xml.writeTextElement(QStringLiteral("answernumbering"), QStringLiteral("abc"));
        const auto right = std::count_if(question.answers.begin(), question.answers.end(),
                                         [](const DraftAnswer& answer) { return answer.right; });
        const QString wrong = single ? QStringLiteral("0") : QStringLiteral("-100");
        for (const DraftAnswer& answer : question.answers) {
            writeAnswer(xml, answer.right ? RightShare(static_cast<int>(right)) : wrong,
                        answer.text);
        }
    }
    xml.writeEndElement();
}

}  // namespace

QByteArray WriteMoodleXml(const std::vector<ExportQuestion>& questions) {
    QByteArray bytes;
    QXmlStreamWriter xml(&bytes);
    xml.setAutoFormatting(true);
    xml.writeStartDocument();
    xml.writeStartElement(QStringLiteral("quiz"));
    const QStringList* category = nullptr;
    for (const ExportQuestion& question : questions) {
        if (category == nullptr || *category != question.category) {
            category = &question.category;
            writeCategory(xml, *category);
        }
        writeQuestion(xml, question);
    }
    xml.writeEndDocument();
    return bytes;
}

}  // namespace kvalor
