// Files written at random by the program itself, whole and damaged at random: each either loads
// or fails with the program's own error, and whatever loads is saved into a file that loads
// to the same content.

#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "SampleData.h"
#include "StorageTestSupport.h"
#include "model/AccountMessages.h"
#include "model/CollectionHelpers.h"
#include "storage/CompoundFile.h"
#include "storage/Packing.h"

using namespace kvalor;
using namespace storagetest;

namespace {

constexpr int kFiles = 12;
constexpr int kDamagesPerFile = 12;

const char* const kStreams[] = {"SimpleTests/Data", "ComplexTests/Data", "Competitors/Data",
                                "ComplexTasks/Data", "Studies/Data"};

class Generator {
public:
    explicit Generator(unsigned seed) : random_(seed) {}

    int below(int bound) { return static_cast<int>(random_() % static_cast<unsigned>(bound)); }

    // Any bytes: names are stored as they are.
    std::string bytes(int maxLength) {
        std::string text(static_cast<std::size_t>(below(maxLength + 1)), '\0');
        for (char& c : text) {
            c = static_cast<char>(random_());
        }
        return text;
    }

    void fill(TKvalor& root) {
        std::vector<TQuestions*> sources;
        std::vector<TQuestion*> questions;
        for (int t = below(4); t >= 0; --t) {
            auto* test = addTest(root.SimpleTests(), kGroupKindSimpleTest, "");
            test->SetName(bytes(6));
            settle(*test);
            fillGroup(*test, 0, sources, questions);
        }
        std::vector<TQuestions*> complexTests;
        for (int t = below(3); t > 0; --t) {
            auto* test = addTest(root.ComplexTests(), kGroupKindComplexTest, "");
            settle(*test);
            complexTests.push_back(test);
            for (int k = below(3); k > 0; --k) {
                const int task = root.Tasks().AddTask(*test, *sources[below(sizeOf(sources))]);
                root.Tasks().Task(task).QuestionCount = below(5);
            }
        }
        root.Users().EnsureBuiltins();
        std::vector<TCompetitor*> accounts = {root.Users().Administrator()};
        for (int a = below(5); a > 0; --a) {
            accounts.push_back(account(root.Users()));
        }
        for (int g = below(3); g > 0; --g) {
            auto group = std::make_unique<TCompetitors>();
            group->SetName(bytes(5));
            TCompetitors& added = *group;
            root.Users().AddCollection(std::move(group));
            for (int a = below(3); a > 0; --a) {
                accounts.push_back(account(added));
            }
        }
        for (int s = below(6); s > 0; --s) {
            TQuestions* test = below(4) == 0 && !complexTests.empty()
                                   ? complexTests[below(sizeOf(complexTests))]
                                   : sources[below(sizeOf(sources))];
            auto study = TStudyList::NewStudy(below(2), *accounts[below(sizeOf(accounts))], *test,
                                              45000.0 + below(1000) / 7.0);
            for (int r = below(4); r > 0 && !questions.empty(); --r) {
                TExamineQuestion& record = study->Questions().Items(study->Questions().AddEmpty());
                record.QuestionId =
                    below(5) == 0 ? Guid::create() : questions[below(sizeOf(questions))]->Id();
                record.Given = {below(4)};
                record.Order = {2, 0, 1};
            }
            study->SetState(below(3));
            root.Studies().Append(std::move(study));
        }
    }

private:
    template <class T>
    static int sizeOf(const std::vector<T>& list) {
        return static_cast<int>(list.size());
    }

    void settle(TQuestions& group) {
        group.SetDuration(below(200));
        group.SetPassPercent(below(101));
        group.SetGradingMethod(below(2));
        group.SetLevelCount(below(7));
        for (int level = 0; level < group.LevelCount(); ++level) {
            group.SetLevelThreshold(level, below(101));
        }
        group.SetMixQuestions(below(2));
        group.SetBreakGroups(below(2));
    }

    void fillGroup(TQuestions& group, int depth, std::vector<TQuestions*>& sources,
                   std::vector<TQuestion*>& questions) {
        sources.push_back(&group);
        for (int e = below(5); e > 0; --e) {
            if (depth < 3 && below(3) == 0) {
                auto* sub = addTest(group, kGroupKindSubgroup, "");
                sub->SetName(bytes(4));
                settle(*sub);
                fillGroup(*sub, depth + 1, sources, questions);
                continue;
            }
            std::initializer_list<bool> keys[] = {{}, {true}, {false, true, true}};
            auto* question = addQuestion(group, "", below(3), keys[below(3)]);
            question->SetName(bytes(12));
            question->Answers().SetAllowMix(below(2));
            questions.push_back(question);
        }
    }

    TCompetitor* account(TCompetitors& list) {
        auto account = std::make_unique<TCompetitor>();
        account->SetName(bytes(8));
        account->SetPassword(bytes(6));
        account->SetRole(below(3));
        for (int field = 0; field < 10; ++field) {
            account->SetField(field, bytes(3));
        }
        TCompetitor& added = *account;
        list.AddCompetitor(std::move(account), true);
        return &added;
    }

    std::mt19937 random_;
};

// The content of the file if it loads (fix-ups included); nullopt when it fails with the
// program's error. Any other exception escapes and fails the test.
std::optional<std::string> loaded(const std::string& file) {
    TKvalor root;
    try {
        root.LoadFromFile(QString::fromStdString(file), true);
    } catch (const KvalorError&) {
        return std::nullopt;
    }
    return describe(root);
}

// Loads, saves and loads again: the second load shows what the first did.
void expectResaveKeepsWhatLoads(const std::string& file, const std::string& again) {
    TKvalor root;
    try {
        root.LoadFromFile(QString::fromStdString(file), true);
    } catch (const KvalorError&) {
        return;
    }
    root.SaveToFile(QString::fromStdString(again));
    EXPECT_EQ(loaded(again), describe(root));
}

// The unpacked streams of a file the program wrote.
std::map<std::string, std::string> unpackedStreams(const std::string& file) {
    const CompoundFileReader reader(QString::fromStdString(file));
    std::map<std::string, std::string> streams;
    for (const char* name : kStreams) {
        const std::string path(name);
        const std::string storage = path.substr(0, path.find('/'));
        ByteStream data(reader.root().storage(storage).stream("Data").readAll());
        UnpackStream(data, 3);
        streams[path] = data.takeData();
    }
    return streams;
}

void damage(std::string& bytes, Generator& random) {
    if (bytes.empty()) {
        bytes = random.bytes(8);
        return;
    }
    switch (random.below(4)) {
        case 0:  // a few bytes changed
            for (int i = random.below(4); i >= 0; --i) {
                bytes[static_cast<std::size_t>(random.below(static_cast<int>(bytes.size())))] ^=
                    static_cast<char>(1 + random.below(255));
            }
            break;
        case 1:  // cut short
            bytes.resize(static_cast<std::size_t>(random.below(static_cast<int>(bytes.size()))));
            break;
        case 2:  // bytes inserted
            bytes.insert(static_cast<std::size_t>(random.below(static_cast<int>(bytes.size()))),
                         random.bytes(6));
            break;
        default: {  // a slice repeated elsewhere
            const auto from =
                static_cast<std::size_t>(random.below(static_cast<int>(bytes.size())));
            const std::string slice = bytes.substr(from, 1 + random.below(40));
            bytes.insert(static_cast<std::size_t>(random.below(static_cast<int>(bytes.size()))),
                         slice);
            break;
        }
    }
}

class RoundTripProperty : public StorageTest {};

}  // namespace

TEST_F(RoundTripProperty, WrittenFilesLoadAndDamagedOnesFailCleanly) {
    const AccountMessageHandler previous = setAccountMessageHandler([](const QString&) {});
    const std::string file = path("KvalorData.exd");
    const std::string damaged = path("damaged.exd");
    const std::string again = path("again.exd");
    for (int round = 0; round < kFiles; ++round) {
        SCOPED_TRACE(round);
        Generator random(static_cast<unsigned>(round) * 7919u + 1);
        {
            TKvalor root;
            random.fill(root);
            root.SaveToFile(QString::fromStdString(file));
        }
        ASSERT_TRUE(loaded(file).has_value());
        expectResaveKeepsWhatLoads(file, again);

        const std::map<std::string, std::string> streams = unpackedStreams(file);
        for (int attempt = 0; attempt < kDamagesPerFile; ++attempt) {
            SCOPED_TRACE(attempt);
            std::map<std::string, std::string> parts;
            const char* hit = kStreams[random.below(5)];
            for (const auto& [name, content] : streams) {
                std::string data = content;
                if (name == hit) {
                    damage(data, random);
                }
                parts[name] = zlibCompress(data);
            }
            parts["Version"] = std::string("\x03\x01\x01", 3);
            writeCompoundFile(damaged, parts);
            expectResaveKeepsWhatLoads(damaged, again);
        }
        // Damage to the container itself.
        std::string whole = fileBytes(file);
        damage(whole, random);
        writeBytes(damaged, whole);
        expectResaveKeepsWhatLoads(damaged, again);
    }
    setAccountMessageHandler(previous);
}
