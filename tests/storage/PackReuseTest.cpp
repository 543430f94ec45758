// A save takes over the packed pieces of what did not change since the file was read, and
// writes what any save from scratch of the same content would read back as.

#include <gtest/gtest.h>
#include <zlib.h>

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include <QTemporaryDir>

#include "SampleData.h"
#include "SchoolData.h"
#include "model/Kvalor.h"
#include "model/Questions.h"
#include "model/Study.h"
#include "model/StudyList.h"
#include "storage/CompoundFile.h"
#include "storage/DataStreams.h"
#include "storage/Packing.h"

using namespace kvalor;
using namespace storagetest;

namespace {

const std::vector<std::string> kStorages = {kSimpleTestsStorage, kComplexTestsStorage,
                                            kCompetitorsStorage, kComplexTasksStorage,
                                            kStudiesStorage};

std::map<std::string, std::string> storedStreams(
    const QString& file, const std::vector<std::string>& storages = kStorages) {
    const CompoundFileReader reader(file);
    std::map<std::string, std::string> streams;
    for (const std::string& name : storages) {
        streams[name] = reader.root().storage(name).stream(kDataStream).readAll();
    }
    return streams;
}

std::string inflated(const std::string& packed) {
    ByteStream stream(packed);
    UnpackStream(stream, kCurrentFormatVersion);
    return stream.data();
}

// How much of a storage's packed stream a save took over from the one it was read from.
enum class Taken { Whole, Middle, Nothing };

// Whether `after` holds `before` whole, or the packed bytes of the pieces between its first and
// its last (those a journal that only grew keeps), or neither.
Taken takenOver(const std::string& before, const std::string& after) {
    if (before == after) {
        return Taken::Whole;
    }
    ByteStream stream(before);
    const std::shared_ptr<const PackedStream> pieces = UnpackInPieces(stream, before.size() * 1032);
    EXPECT_TRUE(pieces);
    const std::vector<PackedPiece>& all = pieces->Pieces();
    if (all.size() < 3) {
        return Taken::Nothing;
    }
    const std::size_t from = all.front().packedEnd;
    const std::string middle = before.substr(from, all[all.size() - 2].packedEnd - from);
    return after.find(middle) == std::string::npos ? Taken::Nothing : Taken::Middle;
}

void appendCopies(TKvalor& root, int count) {
    for (int i = 0; i < count; ++i) {
        auto study = std::make_unique<TStudy>();
        study->Assign(root.Studies().StudyAt(i));
        study->SetDate(study->Date() + 3000.0);
        root.Studies().Append(std::move(study));
    }
}

}  // namespace

TEST(PackReuseTest, ASaveTakesOverWhatDidNotChangeAndReadsBackAsASaveFromScratch) {
    QTemporaryDir folder;
    const QString original = folder.filePath("KvalorData.exd");
    const QString importFile = folder.filePath("Import.exd");
    {
        SchoolShape shape;
        shape.simpleTests = 20;
        shape.groupsPerTest = 1;
        shape.questionsPerGroup = 40;
        shape.accountGroups = 2;
        shape.studies = 6000;
        TKvalor root;
        BuildSchoolData(root, shape);
        root.SaveToFile(original);
        // As a run leaves it: what a load settles is then written too.
        root.LoadFromFile(original, true);
        root.SaveToFile(original);
        // Five years later: every study of it is new to the journal.
        for (int i = 0; i < root.Studies().Count(); ++i) {
            root.Studies().StudyAt(i).SetDate(root.Studies().StudyAt(i).Date() + 5 * 365.0);
        }
        root.Studies().SaveToFile(importFile);
    }
    const std::map<std::string, std::string> before = storedStreams(original);
    // Pieces of the journal lie between its first and its last.
    ASSERT_GT(inflated(before.at(kStudiesStorage)).size(), std::size_t{3} << 20);

    struct Case {
        const char* what;
        std::function<void(TKvalor&)> change;
        Taken tests;
        Taken studies;
    };
    const std::vector<Case> cases = {
        {"nothing", [](TKvalor&) {}, Taken::Whole, Taken::Whole},
        {"examinations", [](TKvalor& root) { appendCopies(root, 3); }, Taken::Whole, Taken::Middle},
        {"test edited",
         [](TKvalor& root) { root.SimpleTests().CollectionAt(0)->SetName(cp("Другое имя")); },
         Taken::Nothing, Taken::Whole},
        {"journal reordered",
         [](TKvalor& root) {
             root.Studies().GroupByUser();
             root.Studies().GroupByTest();
         },
         Taken::Whole, Taken::Nothing},
        // Linking the imported studies groups the journal again.
        {"import", [&](TKvalor& root) { root.ImportStudies({importFile}); }, Taken::Whole,
         Taken::Nothing},
        {"study deleted", [](TKvalor& root) { root.Studies().Delete(2); }, Taken::Whole,
         Taken::Nothing},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        const QString reused = folder.filePath("Reused.exd");
        const QString studiesFile = folder.filePath("Studies.exd");
        const QString fresh = folder.filePath("Fresh.exd");
        TKvalor run;
        run.LoadFromFile(original, true);
        c.change(run);
        // As the end of a run saves: the journal packed once for both files.
        const PackedData journal = run.PackStudies();
        run.SaveToFile(reused, &journal);
        run.Studies().SaveToFile(studiesFile, &journal);

        TKvalor scratch;
        scratch.LoadFromFile(original, true);
        c.change(scratch);
        scratch.ForgetPackedStreams();
        scratch.SaveToFile(fresh);

        const std::map<std::string, std::string> after = storedStreams(reused);
        const std::map<std::string, std::string> fromScratch = storedStreams(fresh);
        for (const std::string& name : kStorages) {
            EXPECT_EQ(inflated(after.at(name)), inflated(fromScratch.at(name))) << name;
        }
        EXPECT_EQ(storedStreams(studiesFile, {kStudiesStorage}).at(kStudiesStorage),
                  after.at(kStudiesStorage));
        EXPECT_EQ(takenOver(before.at(kSimpleTestsStorage), after.at(kSimpleTestsStorage)),
                  c.tests);
        EXPECT_EQ(takenOver(before.at(kCompetitorsStorage), after.at(kCompetitorsStorage)),
                  Taken::Whole);
        EXPECT_EQ(takenOver(before.at(kStudiesStorage), after.at(kStudiesStorage)), c.studies);

        TKvalor readReused;
        readReused.LoadFromFile(reused, true);
        TKvalor readFresh;
        readFresh.LoadFromFile(fresh, true);
        EXPECT_EQ(describe(readReused), describe(readFresh));
    }
}

// A stream packed by another writer, which keeps its window across its flush points, is no
// stream of pieces: it is read as a whole and packed again from scratch.
TEST(PackReuseTest, AStreamReachingAcrossItsFlushPointsIsReadWhole) {
    std::string content;
    for (int i = 0; i < 20000; ++i) {
        content += "строка " + std::to_string(i % 50) + "\n";
    }
    std::string packed(content.size() + 1024, '\0');
    z_stream zs{};
    ASSERT_EQ(deflateInit(&zs, 9), Z_OK);
    zs.next_in = reinterpret_cast<Bytef*>(content.data());
    zs.next_out = reinterpret_cast<Bytef*>(packed.data());
    zs.avail_out = static_cast<uInt>(packed.size());
    zs.avail_in = static_cast<uInt>(content.size() / 2);
    ASSERT_EQ(deflate(&zs, Z_SYNC_FLUSH), Z_OK);
    zs.avail_in = static_cast<uInt>(content.size() - content.size() / 2);
    ASSERT_EQ(deflate(&zs, Z_FINISH), Z_STREAM_END);
    packed.resize(zs.total_out);
    deflateEnd(&zs);

    ByteStream stream(packed);
    EXPECT_FALSE(UnpackInPieces(stream, content.size()));
    EXPECT_EQ(stream.data(), packed);
    EXPECT_EQ(inflated(packed), content);
}
