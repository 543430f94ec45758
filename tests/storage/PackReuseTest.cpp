// A save takes over the packed pieces of what did not change since the file was read, and
// writes what a save from scratch of the same content would read back as.

#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "SampleData.h"
#include "SchoolData.h"
#include "StorageTestSupport.h"
#include "model/Questions.h"
#include "model/StudyList.h"
#include "storage/DataStreams.h"
#include "storage/EntrySource.h"
#include "storage/InflateAhead.h"
#include "storage/PackCache.h"
#include "storage/StreamInflater.h"
#include "storage/ZlibFormat.h"

using namespace kvalor;
using namespace storagetest;

namespace {

std::string stored(const QString& file, const std::string& storage) {
    return CompoundFileReader(file).root().storage(storage).stream(kDataStream).readAll();
}

std::string inflated(const std::string& packed) {
    ByteStream stream(packed);
    UnpackStream(stream, kCurrentFormatVersion);
    return stream.data();
}

enum class Taken { Whole, Middle, Nothing };

// How much of the packed stream `before` a save took over into `after`: all of it, the pieces
// between its first and its last (those a journal that only grew keeps), or neither.
Taken takenOver(const std::string& before, const std::string& after) {
    ByteStream stream(before);
    const std::vector<PackedPiece> pieces = UnpackInPieces(stream, before.size() * 1032)->Pieces();
    const std::size_t from = pieces.front().packedEnd;
    const std::size_t to = pieces.size() > 2 ? pieces[pieces.size() - 2].packedEnd : from;
    return before == after ? Taken::Whole
           : to > from && after.find(before.substr(from, to - from)) != std::string::npos
               ? Taken::Middle
               : Taken::Nothing;
}

}  // namespace

TEST(PackReuseTest, ASaveTakesOverWhatDidNotChangeAndReadsBackAsASaveFromScratch) {
    QTemporaryDir folder;
    const auto file = [&folder](const char* name) { return folder.filePath(name); };
    TKvalor root;
    BuildSchoolData(root, {20, 1, 40, 0, 2, 200, 6000, 20});
    root.SaveToFile(file("Data.exd"));
    // As a run leaves it: what a load settles is written too.
    root.LoadFromFile(file("Data.exd"), true);
    root.SaveToFile(file("Data.exd"));
    // Five years later: every study of it is new to the journal.
    for (int i = 0; i < root.Studies().Count(); ++i) {
        root.Studies().StudyAt(i).SetDate(root.Studies().StudyAt(i).Date() + 5 * 365.0);
    }
    root.Studies().SaveToFile(file("Import.exd"));
    ASSERT_GT(inflated(stored(file("Data.exd"), kStudiesStorage)).size(), std::size_t{3} << 20);
    // The import reads its packed stream from the file in more than one part.
    ASSERT_GT(stored(file("Import.exd"), kStudiesStorage).size(), std::size_t{1} << 20);

    struct Case {
        const char* what;
        std::function<void(TKvalor&)> change;
        Taken tests;
        Taken studies;
    };
    const std::vector<Case> cases = {
        {"nothing", [](TKvalor&) {}, Taken::Whole, Taken::Whole},
        {"examinations", [](TKvalor& run) { AppendExaminations(run, 3, 3000.0); }, Taken::Whole,
         Taken::Middle},
        {"test edited",
         [](TKvalor& run) { run.SimpleTests().CollectionAt(0)->SetName(cp("Другое имя")); },
         Taken::Nothing, Taken::Whole},
        {"journal reordered", [](TKvalor& run) { run.Studies().GroupByTest(); }, Taken::Whole,
         Taken::Nothing},
        // Linking the imported studies groups the journal again.
        {"import", [&](TKvalor& run) { run.ImportStudies({file("Import.exd")}); }, Taken::Whole,
         Taken::Nothing},
        {"study deleted", [](TKvalor& run) { run.Studies().Delete(2); }, Taken::Whole,
         Taken::Nothing},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TKvalor run;
        run.LoadFromFile(file("Data.exd"), true);
        c.change(run);
        // As the end of a run saves: the journal packed once for both files.
        const PackedData journal = run.PackStudies();
        run.SaveToFile(file("Reused.exd"), &journal);
        run.Studies().SaveToFile(file("Studies.exd"), &journal);
        TKvalor scratch;
        scratch.LoadFromFile(file("Data.exd"), true);
        c.change(scratch);
        scratch.ForgetPackedStreams();
        scratch.SaveToFile(file("Fresh.exd"));

        for (const std::string& name :
             {kSimpleTestsStorage, kComplexTestsStorage, kCompetitorsStorage, kComplexTasksStorage,
              kStudiesStorage}) {
            EXPECT_EQ(inflated(stored(file("Reused.exd"), name)),
                      inflated(stored(file("Fresh.exd"), name)))
                << name;
        }
        EXPECT_EQ(stored(file("Studies.exd"), kStudiesStorage), journal.stream->Bytes());
        EXPECT_EQ(takenOver(stored(file("Data.exd"), kSimpleTestsStorage),
                            stored(file("Reused.exd"), kSimpleTestsStorage)),
                  c.tests);
        EXPECT_EQ(takenOver(stored(file("Data.exd"), kStudiesStorage),
                            stored(file("Reused.exd"), kStudiesStorage)),
                  c.studies);
        // What a save writes as it packs is what it keeps for the next, which takes over its
        // pieces in turn.
        EXPECT_EQ(stored(file("Fresh.exd"), kStudiesStorage),
                  scratch.PackStudies().stream->Bytes());
        AppendExaminations(scratch, 1, 4000.0);
        ByteStream grown;
        scratch.Studies().SaveToStream(grown);
        EXPECT_EQ(inflated(scratch.PackStudies().stream->Bytes()), grown.data());
        run.LoadFromFile(file("Reused.exd"), true);
        scratch.LoadFromFile(file("Fresh.exd"), true);
        EXPECT_EQ(describe(run), describe(scratch));
    }
}

// A stream of another writer that keeps its window across a flush point is no stream of
// pieces: it is read whole.
TEST(PackReuseTest, AStreamReachingAcrossItsFlushPointIsReadWhole) {
    std::string content;
    for (int i = 0; i < 20000; ++i) {
        content += "строка " + std::to_string(i % 50) + "\n";
    }
    std::string packed(content.size(), '\0');
    z_stream zs{};
    ASSERT_EQ(deflateInit(&zs, 9), Z_OK);
    zs.next_in = reinterpret_cast<Bytef*>(content.data());
    zs.next_out = reinterpret_cast<Bytef*>(packed.data());
    zs.avail_out = static_cast<uInt>(packed.size());
    for (const int flush : {Z_SYNC_FLUSH, Z_FINISH}) {
        zs.avail_in = static_cast<uInt>(flush == Z_FINISH ? content.size() - content.size() / 2
                                                          : content.size() / 2);
        ASSERT_NE(deflate(&zs, flush), Z_STREAM_ERROR);
    }
    packed.resize(zs.total_out);
    deflateEnd(&zs);

    ByteStream stream(packed);
    EXPECT_FALSE(UnpackInPieces(stream, content.size()));
    EXPECT_EQ(stream.data(), packed);
    EXPECT_EQ(inflated(packed), content);
}

namespace {

// The journal packed by zlib itself, flushing every `flushEvery` bytes: blocks after a flush
// reach back before it, so the stream is not made of pieces.
std::string zlibPacked(const std::string& content, std::size_t flushEvery) {
    z_stream zs{};
    deflateInit(&zs, 9);
    std::string out(compressBound(static_cast<uLong>(content.size())) + 1024, '\0');
    zs.next_out = reinterpret_cast<Bytef*>(out.data());
    zs.avail_out = static_cast<uInt>(out.size());
    for (std::size_t at = 0; at < content.size(); at += flushEvery) {
        const std::size_t size = std::min(flushEvery, content.size() - at);
        zs.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(content.data() + at));
        zs.avail_in = static_cast<uInt>(size);
        deflate(&zs, at + size == content.size() ? Z_FINISH : Z_SYNC_FLUSH);
    }
    out.resize(zs.total_out);
    deflateEnd(&zs);
    return out;
}

}  // namespace

// The journal is read as it unpacks, a piece at a time: studies that straddle two pieces and a
// study larger than a piece come back whole, streams cut otherwise are read all the same, and
// damage is told in words.
TEST(PackReuseTest, AJournalReadAsItUnpacksComesBackWhole) {
    TKvalor root;
    BuildSchoolData(root, {4, 1, 40, 0, 1, 50, 3000, 20});
    TExamineQuestions large;
    const std::vector<std::int32_t> order(400000, 1);
    large.Reserve(1, order.size());
    large.AppendRecord(Guid::fromLiteral("{00000000-0000-0000-0000-000000000001}"), {}, true,
                       order);
    large.FinishAppending();
    root.Studies().StudyAt(1500).Questions() = std::move(large);
    ByteStream journal;
    root.Studies().SaveToStream(journal);
    std::size_t storedSize = 5;
    for (int i = 0; i < root.Studies().Count(); ++i) {
        storedSize += root.Studies().StudyAt(i).StoredSize();
    }
    EXPECT_EQ(storedSize, journal.size());
    const std::string pieces = PackContents({&journal.data()}, {}).front()->Bytes();
    // Made a study at a time, the journal packs the same.
    EXPECT_EQ(PackSourced(JournalSource(root.Studies()), nullptr, {})->Bytes(), pieces);
    std::string badCheck = pieces;
    badCheck.back() = static_cast<char>(badCheck.back() ^ 1);

    struct Case {
        const char* what;
        std::string packed;
        bool keepsPieces;
        const char* error;
    };
    const std::vector<Case> cases = {
        {"our pieces", pieces, true, nullptr},
        {"one zlib stream", zlibPacked(journal.data(), journal.size()), true, nullptr},
        {"flushes reaching back", zlibPacked(journal.data(), 300000), false, nullptr},
        {"check value wrong", badCheck, false, "контрольная сумма не сходится"},
        {"cut short", pieces.substr(0, pieces.size() / 2), false, "сжатые данные неполны"},
    };
    QTemporaryDir folder;
    const QString file = folder.filePath("Journal.exd");
    const auto writeFile = [&file](const std::string& packed) {
        CompoundFileWriter writer(file);
        writer.root().createStorage(kStudiesStorage).writeStream(kDataStream, packed);
        writer.commit();
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        TStudyList list;
        PackCache cache;
        writeFile(c.packed);
        const auto load = [&] {
            const CompoundFileReader reader(file, CompoundFileReader::Reading::FromDisk);
            LoadStudiesStream(list, reader.root().storage(kStudiesStorage), kCurrentFormatVersion,
                              "Журнал", cache, file);
        };
        if (c.error != nullptr) {
            try {
                load();
                ADD_FAILURE() << "no error";
            } catch (const ReadError& error) {
                EXPECT_EQ(error.message(), QString("Журнал повреждено (%1)").arg(c.error));
            }
            continue;
        }
        load();
        ByteStream back;
        list.SaveToStream(back);
        EXPECT_TRUE(back.data() == journal.data());
        // Kept as where its pieces lie, and read back from the file while it is as it was.
        const auto kept = cache.Find({kStudiesStorage}).front();
        EXPECT_EQ(kept != nullptr, c.keepsPieces);
        if (kept) {
            EXPECT_TRUE(kept->Bytes() == c.packed);
            writeFile(badCheck);
            EXPECT_EQ(cache.Find({kStudiesStorage}).front(), nullptr);
        }
    }
}

// A reader that gives up early, as on a damaged study, stops the thread unpacking ahead of it,
// even while that thread waits for room.
TEST(PackReuseTest, AReaderThatStopsEarlyStopsTheUnpackingAhead) {
    const std::string content(8 * zlibformat::kPieceSize, 'x');
    const std::string packed = PackContents({&content}, {}).front()->Bytes();
    StreamInflater inflater(
        [&packed]() -> StreamInflater::MorePacked {
            return [&packed, given = false](std::string& out) mutable {
                out = given ? std::string() : packed;
                return !std::exchange(given, true);
            };
        },
        content.size());
    InflateAhead ahead(inflater);
    std::string part;
    ASSERT_TRUE(ahead.More(part));
    EXPECT_EQ(part, content.substr(0, part.size()));
}
