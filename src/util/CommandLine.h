#pragma once

#include <QCommandLineParser>
#include <QString>
#include <QStringList>

namespace kvalor {

// Parses arguments (without the program's name) by the options added to the parser: options
// may come in any order, and single-dash words are long options as in Qt's own ("-data").
// Returns the mistake in Russian, empty when the arguments are good: an unknown option, or a
// value given to an option that takes none. An option whose value is missing is parsed as
// having an empty one, which the caller refuses in its own words.
QString ParseCommandLine(QCommandLineParser& parser, const QStringList& arguments);

}  // namespace kvalor
