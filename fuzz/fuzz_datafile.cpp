// Feeds arbitrary bytes to the readers of the data file's streams, as each of the five stream
// kinds (simple tests, complex tests, users, tasks, studies), runs the fix-ups of a load, writes
// everything, reads what it wrote back and insists on the same bytes when written again.
// The first byte chooses the format version (low two bits) and whether the rest is packed
// (bit 2): packed, a few hundred bytes reach records of megabytes.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "model/AccountMessages.h"
#include "model/CollectionHelpers.h"
#include "model/Competitor.h"
#include "model/Competitors.h"
#include "model/Kvalor.h"
#include "model/Questions.h"
#include "model/StudyList.h"
#include "model/TaskList.h"
#include "storage/DataStreams.h"
#include "storage/Packing.h"
#include "util/ByteStream.h"
#include "util/Error.h"

using namespace kvalor;

namespace {

// Within libFuzzer's memory limit, yet megabytes of records.
constexpr std::size_t kMaxUnpacked = std::size_t{64} << 20;

// The five streams of a data file, unpacked.
struct Streams {
    std::string simple, complex, users, tasks, studies;
    bool operator==(const Streams&) const = default;
};

// Reads the stream with the reader; damaged data fails with the program's error, and what was
// read before stays. Where the bytes were written by the program itself, any failure is a
// fault.
template <class Read>
void readAs(const std::string& bytes, bool ownWriting, Read read) {
    ByteStream stream(bytes);
    try {
        read(stream);
    } catch (const KvalorError&) {
        if (ownWriting) {
            std::abort();
        }
    }
}

// Reads streams as the data file's load does, fix-ups included.
void readAll(TKvalor& root, const Streams& streams, const ReadContext& context, bool ownWriting) {
    readAs(streams.simple, ownWriting,
           [&](ByteStream& s) { LoadTestsStream(root.SimpleTests(), s, context); });
    readAs(streams.complex, ownWriting,
           [&](ByteStream& s) { LoadTestsStream(root.ComplexTests(), s, context); });
    readAs(streams.users, ownWriting,
           [&](ByteStream& s) { LoadUsersStream(root.Users(), s, context); });
    readAs(streams.tasks, ownWriting, [&](ByteStream& s) { root.Tasks().LoadFromStream(s); });
    readAs(streams.studies, ownWriting, [&](ByteStream& s) { root.Studies().LoadFromStream(s); });
    root.LinkStudies();
    root.Users().EnsureBuiltins();
    root.SimpleTests().Renumber();
    root.ComplexTests().Renumber();
    root.Users().Sort();
}

// Every stream of the root, the way the data file writes them. Passwords are enciphered with
// a random key on every write, so they are cleared first: the comparison is of the rest.
Streams writeAll(TKvalor& root) {
    for (TExaminerElement* element : CollectItems(root.Users(), {}, true)) {
        if (auto* account = dynamic_cast<TCompetitor*>(element)) {
            account->SetPassword({});
        }
    }
    ByteStream simple;
    ByteStream complex;
    ByteStream users;
    ByteStream tasks;
    ByteStream studies;
    SaveTestsStream(root.SimpleTests(), simple);
    SaveTestsStream(root.ComplexTests(), complex);
    SaveUsersStream(root.Users(), users);
    root.Tasks().SaveToStream(tasks);
    root.Studies().SaveToStream(studies);
    return {simple.takeData(), complex.takeData(), users.takeData(), tasks.takeData(),
            studies.takeData()};
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) {
        return 0;
    }
    static const bool quiet = [] {
        setAccountMessageHandler([](const QString&) {});
        return true;
    }();
    (void)quiet;
    const ReadContext context{data[0] & 3};
    ByteStream input(std::string(reinterpret_cast<const char*>(data) + 1, size - 1));
    if (data[0] & 4) {
        try {
            UnpackStream(input, 3, kMaxUnpacked);
        } catch (const KvalorError&) {
            return 0;
        }
    }
    const std::string& bytes = input.data();

    // The exchange file's reading rules, on a list of its own.
    TCompetitors imported;
    readAs(bytes, false, [&](ByteStream& s) {
        LoadUsersStream(imported, s, context, StoredAdministrator::Discard);
    });
    imported.Sort();

    // Whatever was read is written in a form that reads back to the same thing.
    TKvalor first;
    readAll(first, Streams{bytes, bytes, bytes, bytes, bytes}, context, false);
    const Streams written = writeAll(first);
    TKvalor second;
    readAll(second, written, ReadContext{}, true);
    if (!(writeAll(second) == written)) {
        std::abort();
    }
    return 0;
}
