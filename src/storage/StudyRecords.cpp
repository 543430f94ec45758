// The study list stream of the journal: a version byte, the count and each study's record
// (date, mode, account and test ids, the questions put with the answers given, the result).

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "model/BuiltinAccounts.h"
#include "model/ExamineQuestions.h"
#include "model/Study.h"
#include "model/StudyList.h"
#include "util/ByteStream.h"
#include "util/Error.h"

namespace kvalor {

namespace {

void writeArray(ByteStream& stream, const AnswerIndexes& values) {
    stream.writeI32(static_cast<std::int32_t>(values.size()));
    for (auto value : values) {
        stream.writeI32(value);
    }
}

// Appends the array's values; returns how many there were.
std::size_t readArray(ByteStream& stream, std::vector<std::int32_t>& values) {
    constexpr EntryCost kValueCost{sizeof(std::int32_t), sizeof(std::int32_t)};
    const auto count = static_cast<std::size_t>(stream.readCount(kValueCost));
    for (std::size_t i = 0; i < count; ++i) {
        values.push_back(stream.readI32());
    }
    return count;
}

// A study's records as read, before they are built at their exact size. Kept from one study
// to the next, so that reading a journal allocates only what it keeps.
struct RecordsRead {
    struct Record {
        Guid questionId;
        std::size_t given;
        std::size_t order;
        bool right;
    };
    std::vector<Record> records;
    std::vector<std::int32_t> indexes;

    TExamineQuestions Build() const {
        TExamineQuestions built;
        built.Reserve(static_cast<int>(records.size()), indexes.size());
        std::span<const std::int32_t> rest(indexes);
        for (const Record& record : records) {
            built.AppendRecord(record.questionId, rest.first(record.given), record.right,
                               rest.subspan(record.given, record.order));
            rest = rest.subspan(record.given + record.order);
        }
        built.FinishAppending();
        return built;
    }
};

// The identity of a run. Dates compare as numbers: +0.0 equals -0.0 and NaN equals nothing,
// so NaN keys are never entered into or looked up in the index.
struct StudyKey {
    double date;
    std::uint8_t mode;
    Guid userId;
    Guid testId;

    explicit StudyKey(const TStudy& study)
        : date(study.Date()), mode(study.Mode()), userId(study.UserId()), testId(study.TestId()) {}

    bool indexable() const { return !std::isnan(date); }
    friend bool operator==(const StudyKey& a, const StudyKey& b) {
        return a.date == b.date && a.mode == b.mode && a.userId == b.userId && a.testId == b.testId;
    }
};

struct StudyKeyHash {
    std::size_t operator()(const StudyKey& key) const noexcept {
        const double date = key.date == 0.0 ? 0.0 : key.date;  // one hash for both zeros
        std::size_t hash = std::hash<std::uint64_t>{}(std::bit_cast<std::uint64_t>(date));
        const auto mix = [&hash](std::size_t value) {
            hash ^= value + 0x9E3779B97F4A7C15ull + (hash << 6) + (hash >> 2);
        };
        mix(key.mode);
        mix(std::hash<Guid>{}(key.userId));
        mix(std::hash<Guid>{}(key.testId));
        return hash;
    }
};

// The first study entered under each key: an open table of the studies themselves, whose keys
// are read from them when compared, a quarter of the memory of a map holding the keys.
class FirstOfKey {
public:
    // Room for that many studies, at most half of the table full.
    explicit FirstOfKey(std::size_t most)
        : slots_(std::bit_ceil(std::max<std::size_t>(16, 2 * most))),
          shift_(64 - std::countr_zero(slots_.size())) {}

    // The study entered under the key, or null.
    TStudy* Find(const StudyKey& key) const {
        for (std::size_t slot = SlotOf(key);; slot = (slot + 1) & (slots_.size() - 1)) {
            if (slots_[slot] == nullptr || StudyKey(*slots_[slot]) == key) {
                return slots_[slot];
            }
        }
    }
    // Enters a study under a key that has none yet.
    void Enter(const StudyKey& key, TStudy* study) {
        std::size_t slot = SlotOf(key);
        while (slots_[slot] != nullptr) {
            slot = (slot + 1) & (slots_.size() - 1);
        }
        slots_[slot] = study;
    }

private:
    // The hash's high bits after a multiplication, which spreads keys that differ in few bits.
    std::size_t SlotOf(const StudyKey& key) const {
        return static_cast<std::size_t>(
            (std::uint64_t{StudyKeyHash{}(key)} * 0x9E3779B97F4A7C15ull) >> shift_);
    }

    std::vector<TStudy*> slots_;
    int shift_;
};

}  // namespace

void TStudy::SaveToStream(ByteStream& stream) const {
    stream.writeDouble(date_);
    stream.writeU8(mode_);
    stream.writeGuid(userId_);
    stream.writeGuid(testId_);
    stream.writeI32(questions_.Count());
    for (int i = 0; i < questions_.Count(); ++i) {
        const ExamineRecord record = questions_.At(i);
        stream.writeGuid(record.QuestionId);
        writeArray(stream, record.Given);
        stream.writeBool(record.Right);
        writeArray(stream, record.Order);
    }
    stream.writeDouble(passPercent_);
    stream.writeDouble(percent_);
    stream.writeI32(correctCount_);
    stream.writeI32(grade_);
    stream.writeBool(passed_);
    stream.writeU8(state_);
}

std::size_t TStudy::StoredSize() const {
    std::size_t size = kMinRecordBytes;
    for (int i = 0; i < questions_.Count(); ++i) {
        const ExamineRecord record = questions_.At(i);
        size += kMinQuestionRecordBytes +
                sizeof(std::int32_t) * (record.Given.size() + record.Order.size());
    }
    return size;
}

void TStudy::LoadFromStream(ByteStream& stream) {
    const double date = stream.readDouble();
    const std::uint8_t mode = stream.readU8();
    Guid userId = stream.readGuid();
    const Guid testId = stream.readGuid();
    constexpr EntryCost kQuestionRecordCost{kMinQuestionRecordBytes,
                                            OwnedObjectBytes(sizeof(TExamineQuestion))};
    const std::int32_t count = stream.readCount(kQuestionRecordCost);
    static thread_local RecordsRead read;
    read.records.clear();
    read.indexes.clear();
    for (std::int32_t i = 0; i < count; ++i) {
        auto& record = read.records.emplace_back();
        record.questionId = stream.readGuid();
        record.given = readArray(stream, read.indexes);
        record.right = stream.readBool();
        record.order = readArray(stream, read.indexes);
    }
    TExamineQuestions questions = read.Build();
    const double passPercent = stream.readDouble();
    const double percent = stream.readDouble();
    const std::int32_t correctCount = stream.readI32();
    const std::int32_t grade = stream.readI32();
    const bool passed = stream.readBool();
    const std::uint8_t state = stream.readU8();
    // A run has a real date and real percentages; anything else is damage, and a study
    // without a date could not even be told apart from the others.
    if (!std::isfinite(date) || !std::isfinite(passPercent) || !std::isfinite(percent)) {
        throw ReadError(kDamagedDataMessage);
    }

    if (userId.isNull()) {
        userId = ApplicantAccountId();
    }
    date_ = date;
    mode_ = mode;
    userId_ = userId;
    testId_ = testId;
    user_ = nullptr;
    test_ = nullptr;
    questions_ = std::move(questions);
    passPercent_ = passPercent;
    percent_ = percent;
    correctCount_ = correctCount;
    grade_ = grade;
    passed_ = passed;
    state_ = state;
}

void TStudyList::SaveToStream(ByteStream& stream) const {
    // At its exact size: a growing buffer would hold its old and new copy at once.
    std::size_t size = stream.size() + sizeof(std::uint8_t) + sizeof(std::int32_t);
    for (const auto& study : studies_) {
        size += study->StoredSize();
    }
    stream.data().reserve(size);
    stream.writeU8(kStreamVersion);
    stream.writeI32(Count());
    for (const auto& study : studies_) {
        study->SaveToStream(stream);
    }
}

// The journal's stream as it is read: a window over what has arrived and is not yet read. A
// record that runs past the window's end is read again from its start once more has arrived,
// so a stream that arrives in parts is never held whole.
class StudyWindow {
public:
    // The whole stream at once.
    explicit StudyWindow(ByteStream& whole) : stream_(&whole) {}
    StudyWindow(const TStudyList::MoreBytes& more, std::size_t memoryCap)
        : stream_(&own_), more_(&more), memoryCap_(memoryCap) {
        own_.setMemoryBudget(0);
    }

    // The most entries of that cost a stream of the window's kind can hold.
    std::size_t MostEntries(const EntryCost& cost) const {
        return more_ ? memoryCap_ / cost.memoryBytes : stream_->remaining() / cost.storedBytes;
    }

    // Runs the read; one that fails while more is to arrive is run again with more.
    template <class Read>
    void ReadWhole(const Read& read) {
        for (;;) {
            const std::size_t start = stream_->position();
            const std::size_t used = stream_->memoryUsed();
            try {
                read(*stream_);
                return;
            } catch (const ReadError&) {
                if (!Grow(start, used)) {
                    throw;
                }
            }
        }
    }

private:
    // Starts the window at `start`, with at least as much again arrived after it; false when
    // nothing more arrives.
    bool Grow(std::size_t start, std::size_t used) {
        if (more_ == nullptr) {
            return false;
        }
        std::string bytes = own_.data().substr(start);
        const std::size_t kept = bytes.size();
        while (bytes.size() <= 2 * kept && (*more_)(bytes)) {
        }
        if (bytes.size() == kept) {
            return false;
        }
        arrived_ += bytes.size() - kept;
        spent_ += used;
        own_ = ByteStream(std::move(bytes));
        own_.setMemoryBudget(std::min(memoryCap_, kMaxMemoryPerStoredByte * arrived_) - spent_);
        return true;
    }

    ByteStream own_;
    ByteStream* stream_;
    const TStudyList::MoreBytes* more_ = nullptr;
    std::size_t memoryCap_ = 0;
    std::size_t arrived_ = 0;
    std::size_t spent_ = 0;
};

void TStudyList::LoadFromStream(ByteStream& stream, const StudyFilter& admit) {
    StudyWindow window(stream);
    LoadStudies(window, admit);
}

void TStudyList::LoadFromParts(const MoreBytes& more, std::size_t memoryCap,
                               const StudyFilter& admit) {
    StudyWindow window(more, memoryCap);
    LoadStudies(window, admit);
}

void TStudyList::LoadStudies(StudyWindow& window, const StudyFilter& admit) {
    std::int32_t count = 0;
    window.ReadWhole([&count](ByteStream& stream) {
        stream.readU8();  // the version does not change the layout
        count = stream.readI32();
    });
    // A study, and its place in the index of keys below.
    static constexpr EntryCost kStudyCost{TStudy::kMinRecordBytes,
                                          OwnedObjectBytes(sizeof(TStudy)) + 64};
    if (count < 0 || static_cast<std::size_t>(count) > window.MostEntries(kStudyCost)) {
        throw ReadError(kDamagedDataMessage);
    }
    // The first study of each key, so that a merge costs no scan per record.
    FirstOfKey firstOfKey(studies_.size() + static_cast<std::size_t>(count));
    for (const auto& study : studies_) {
        const StudyKey key(*study);
        if (key.indexable() && firstOfKey.Find(key) == nullptr) {
            firstOfKey.Enter(key, study.get());
        }
    }
    for (std::int32_t i = 0; i < count; ++i) {
        std::unique_ptr<TStudy> study;
        window.ReadWhole([&study](ByteStream& stream) {
            stream.chargeMemory(kStudyCost);
            auto read = std::make_unique<TStudy>();
            read->LoadFromStream(stream);
            study = std::move(read);
        });
        if (admit && !admit(*study)) {
            continue;
        }
        // A study read has a finite date, so its key is always indexable.
        const StudyKey key(*study);
        if (TStudy* found = firstOfKey.Find(key)) {
            found->Assign(*study);
            continue;
        }
        firstOfKey.Enter(key, study.get());
        studies_.push_back(std::move(study));
    }
}

}  // namespace kvalor
