#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "storage/PiecePacker.h"

namespace kvalor {

class ByteStream;
class TQuestions;
class TStudyList;

// A stream of entries written one after the other, made a part at a time so that it is never
// held whole: each entry's place follows from the sizes of those before it, and a part is
// written from the entries it covers alone. What the entries are written from must not change
// meanwhile.
class EntrySource final : public PackSource {
public:
    // Writes the entry of that index to the end of the stream.
    using WriteEntry = std::function<void(std::size_t entry, ByteStream& out)>;
    // The entries' sizes as told.
    EntrySource(WriteEntry write, const std::vector<std::size_t>& sizes);
    // The sizes found by writing each entry once.
    EntrySource(WriteEntry write, std::size_t entries);

    std::size_t Size() const override { return ends_.empty() ? 0 : ends_.back(); }
    std::string_view Range(std::size_t from, std::size_t to, std::string& scratch) const override;

private:
    WriteEntry write_;
    std::vector<std::size_t> ends_;  // where each entry ends
};

// The journal's stream (TStudyList::SaveToStream): the version and count, then each study at
// its stored size.
EntrySource JournalSource(const TStudyList& list);

}  // namespace kvalor
