// Feeds arbitrary bytes to the readers of the data file's streams, as each of the five stream
// kinds (simple tests, complex tests, users, tasks, studies), then runs the fix-ups of a load
// and writes everything back. The first byte chooses the format version.
// Build with clang and libFuzzer, from the repository root:
//   clang++ -std=c++20 -g -O1 -fsanitize=fuzzer,address,undefined -fPIC -Isrc \
//     $(pkg-config --cflags Qt6Core libgsf-1) fuzz/fuzz_datafile.cpp src/util/*.cpp \
//     src/cipher/*.cpp src/model/*.cpp src/storage/*.cpp \
//     $(pkg-config --libs Qt6Core libgsf-1 zlib) -o fuzz_datafile

#include <cstddef>
#include <cstdint>
#include <string>

#include "model/AccountMessages.h"
#include "model/Competitors.h"
#include "model/Kvalor.h"
#include "model/Questions.h"
#include "model/StudyList.h"
#include "model/TaskList.h"
#include "storage/DataStreams.h"
#include "util/ByteStream.h"
#include "util/Error.h"

using namespace kvalor;

namespace {

template <class Read>
void readAs(const std::string& input, Read read) {
    ByteStream stream(input);
    try {
        read(stream);
    } catch (const KvalorError&) {
        // Damaged data fails with the program's error; what was read before stays.
    }
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
    const ReadContext context{data[0] % 4};
    const std::string input(reinterpret_cast<const char*>(data) + 1, size - 1);

    TKvalor root;
    readAs(input, [&](ByteStream& s) { LoadTestsStream(root.SimpleTests(), s, context); });
    readAs(input, [&](ByteStream& s) { LoadTestsStream(root.ComplexTests(), s, context); });
    readAs(input, [&](ByteStream& s) { LoadUsersStream(root.Users(), s, context); });
    readAs(input, [&](ByteStream& s) { root.Tasks().LoadFromStream(s); });
    readAs(input, [&](ByteStream& s) { root.Studies().LoadFromStream(s); });
    TCompetitors imported;
    readAs(input, [&](ByteStream& s) {
        LoadUsersStream(imported, s, context, StoredAdministrator::Discard);
    });

    // What was read must stand the fix-ups of a load and be written again.
    try {
        root.LinkStudies();
        root.Users().EnsureBuiltins();
        root.SimpleTests().Renumber();
        root.ComplexTests().Renumber();
        root.Users().Sort();
        imported.Sort();
        ByteStream out;
        SaveTestsStream(root.SimpleTests(), out);
        SaveTestsStream(root.ComplexTests(), out);
        SaveUsersStream(root.Users(), out);
        root.Tasks().SaveToStream(out);
        root.Studies().SaveToStream(out);
    } catch (const KvalorError&) {
        // Refusals of the model (for instance an account of a built-in id in a group) are
        // errors, not faults.
    }
    return 0;
}
