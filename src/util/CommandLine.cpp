#include "util/CommandLine.h"

namespace kvalor {

QString ParseCommandLine(QCommandLineParser& parser, const QStringList& arguments) {
    parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
    // The parser skips the first argument as the program's name.
    if (parser.parse(QStringList(QString()) + arguments)) {
        return {};
    }
    const QStringList unknown = parser.unknownOptionNames();
    for (const QString& argument : arguments) {
        if (argument == QLatin1String("--")) {
            break;
        }
        if (!argument.startsWith(u'-') || argument.size() == 1) {
            continue;
        }
        const QString spelled = argument.section(u'=', 0, 0);
        const QString name = spelled.mid(spelled.startsWith(QLatin1String("--")) ? 2 : 1);
        if (unknown.contains(name)) {
            return QStringLiteral("Неизвестный параметр %1").arg(spelled);
        }
        if (argument.contains(u'=') && parser.isSet(name) && parser.values(name).isEmpty()) {
            return QStringLiteral("Параметр %1 указывается без значения").arg(spelled);
        }
    }
    // Only a value missing at the end is left: it reads as an empty one.
    return {};
}

}  // namespace kvalor
