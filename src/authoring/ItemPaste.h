#pragma once

#include "storage/ClipboardData.h"
#include "util/ByteStream.h"

namespace kvalor {

class IExaminerItem;
class TExaminerCollection;

// Pasting the program's clipboard blocks into tests, shared by the tests tree and the question
// editor.

// Whether a block of the format may be pasted on the item: questions on a question, a group,
// or a simple test that holds questions directly or nothing at all; simple tests on a simple
// test; groups on a group or on a simple test that holds no question directly.
bool MayPaste(ClipboardFormat format, const IExaminerItem& target);

// What a paste placed so far.
struct PastedItems {
    // The collection that receives the items.
    TExaminerCollection* Receiver = nullptr;
    // The last item placed; nullptr while none is.
    IExaminerItem* Last = nullptr;
};

// Reads the block's items one by one (MayPaste must allow the target) and places each with new
// ids: right after the target in the target's collection, each further one after the previous,
// when the target is a question, when tests are pasted, and when groups are pasted on a group;
// otherwise at the end of the target. Pasted tests get " Копия" after their names. A record
// that fails to read raises the read error; the items placed before it stay, and pasted tells
// what they are.
void PasteItems(ClipboardFormat format, ByteStream& block, IExaminerItem& target,
                PastedItems& pasted);

// Numbers the collection that received new items, or the collection above it when that is a
// group (questions are numbered through the whole test), and returns the one numbered.
TExaminerCollection& RenumberReceiver(TExaminerCollection& receiver);

}  // namespace kvalor
