#pragma once

#include <optional>

#include <QString>

#include "storage/ClipboardData.h"
#include "util/ByteStream.h"

namespace kvalor {

// The program's formats on the desktop clipboard: each is a MIME type of our own that carries
// the format's number, "application/x-kvalor-4097" and so on.
QString ClipboardMimeType(ClipboardFormat format);

// Whether any of the program's formats is on the clipboard (which enables "Вставить").
bool ClipboardHasProgramData();
// Whether questions are on the clipboard.
bool ClipboardHasQuestions();

// Empties the clipboard and places a copy of the whole block under the format.
void ClipboardPut(ClipboardFormat format, const ByteStream& block);

// The first of the program's formats present, in the order of kClipboardFormats, with its
// whole block positioned at the start; nullopt when none is present.
struct ClipboardBlock {
    ClipboardFormat Format = ClipboardFormat::None;
    ByteStream Block;
};
std::optional<ClipboardBlock> ClipboardGet();

}  // namespace kvalor
