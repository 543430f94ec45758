#pragma once

#include <QString>

namespace kvalor {

// Question texts written in HTML: tags removed (those that separate blocks leave a space),
// entities such as "&amp;" and "&#1044;" decoded. A "<" that starts no tag stays.
QString PlainFromHtml(const QString& text);

// Question texts written in Markdown: emphasis, code, links, images, headings and quotes
// reduced to their words; Markdown's backslash escapes give the character itself.
QString PlainFromMarkdown(QString text);

}  // namespace kvalor
