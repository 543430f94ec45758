#pragma once

#include <cstdint>
#include <memory>
#include <vector>

#include "util/ByteStream.h"

namespace kvalor {

class IExaminerItem;
class TQuestion;
class TQuestions;

// The program's own clipboard formats, by number. Every block is the same: a 4-byte count,
// then each item's record as the data file stores it, always in the current format.
enum class ClipboardFormat : int {
    None = 0,
    Questions = 4097,
    SimpleTests = 4098,
    Groups = 4099,
    // Recognised as the program's, never written; nothing accepts it.
    Reserved = 4100,
};

// The order in which a reader looks for the formats.
inline constexpr ClipboardFormat kClipboardFormats[] = {
    ClipboardFormat::Questions, ClipboardFormat::SimpleTests, ClipboardFormat::Groups,
    ClipboardFormat::Reserved};

// The block of the items (questions, or tests and groups); a collection nested deeper than
// reading takes is refused before anything is written.
ByteStream WriteClipboardItems(const std::vector<const IExaminerItem*>& items);

// The count of a block. A block from outside may lie: a count that the rest of the block
// cannot hold fails at once, before anything is read or allocated from it.
std::int32_t ReadClipboardCount(ByteStream& block, ClipboardFormat format);

// The next record of a block as a new item with new ids throughout (the item, everything it
// contains, the answers of its questions), read in the current format. A
// record that ends early, or a test or group of a kind other than the format's, fails with a
// read error; the bytes after the last record are never looked at.
std::unique_ptr<TQuestion> ReadClipboardQuestion(ByteStream& block);
std::unique_ptr<TQuestions> ReadClipboardCollection(ByteStream& block, ClipboardFormat format);

}  // namespace kvalor
