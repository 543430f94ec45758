#include "model/ExaminerCollection.h"

#include <algorithm>

#include "model/CollectionHelpers.h"
#include "model/TypeIds.h"
#include "util/Error.h"

namespace kvalor {

TExaminerCollection::TExaminerCollection(std::uint8_t kind, std::optional<Guid> id,
                                         Ownership ownership)
    : ownership_(ownership), id_(id ? *id : Guid::create()), kind_(kind) {}

// The entries free themselves through their deleters; the hooks are not called while the
// collection is being destroyed.
TExaminerCollection::~TExaminerCollection() = default;

void TExaminerCollection::NewId() {
    id_ = Guid::create();
}

void TExaminerCollection::RenewIds() {
    if (IsView()) {
        return;
    }
    NewId();
    for (auto& entry : entries_) {
        entry->RenewIds();
    }
}

void TExaminerCollection::FixClassIdentity(const Guid& typeId) {
    typeId_ = typeId;
    fixedIdentity_ = true;
    fixedKind_ = true;
}

void TExaminerCollection::SetKind(std::uint8_t kind) {
    if (kind != kind_ && !entries_.empty()) {
        throw KvalorError("Невозможно изменить значение Kind");
    }
    kind_ = kind;
}

IExaminerItem& TExaminerCollection::SetParent(TExaminerCollection* parent) {
    parent_ = parent;
    return *this;
}

bool TExaminerCollection::HoldsCollections() const {
    return kind_ == 3 || kind_ == kQuestionsKind || kind_ == kUsersGroupKind;
}

IExaminerItem* TExaminerCollection::Items(int index) const {
    if (index < 0 || index >= Count()) {
        return nullptr;
    }
    return entries_[static_cast<std::size_t>(index)].get();
}

TExaminerElement* TExaminerCollection::ElementAt(int index) const {
    auto* item = Items(index);
    // IsCollection is final in both base classes, so it tells the two apart safely.
    return item && !item->IsCollection() ? static_cast<TExaminerElement*>(item) : nullptr;
}

TExaminerCollection* TExaminerCollection::CollectionAt(int index) const {
    auto* item = Items(index);
    return item && item->IsCollection() ? static_cast<TExaminerCollection*>(item) : nullptr;
}

int TExaminerCollection::IndexOf(const IExaminerItem* item) const {
    for (std::size_t i = 0; i < entries_.size(); ++i) {
        if (entries_[i].get() == item) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

bool TExaminerCollection::Accepts(const TExaminerElement&) const {
    return true;
}

void TExaminerCollection::Adopt(TExaminerElement& element) {
    if (!IsView()) {
        element.SetParent(this);
    }
}

void TExaminerCollection::requireOwning() const {
    if (IsView()) {
        throw KvalorError("Выполнение невозможно");
    }
}

void TExaminerCollection::requireEntry(const IExaminerItem* entry) {
    if (!entry) {
        throw KvalorError("Объект отсутствует в коллекции");
    }
}

bool TExaminerCollection::holds(const IExaminerItem& item) const {
    return IsView() ? viewed_.contains(&item) : item.holder_ == this;
}

int TExaminerCollection::insertEntry(int index, IExaminerItem& item) {
    const int at = std::clamp(index, 0, Count());
    // Geometric growth keeps appending amortised constant time.
    if (entries_.size() == entries_.capacity()) {
        entries_.reserve(std::max<std::size_t>(8, entries_.capacity() * 2));
    }
    if (IsView()) {
        viewed_.insert(&item);
    } else {
        item.holder_ = this;
    }
    // Cannot throw after the reserve: the entry is never owned twice.
    entries_.emplace(entries_.begin() + at, &item, EntryDeleter{!IsView()});
    return at;
}

int TExaminerCollection::insertElement(int index, TExaminerElement& element) {
    if (!Accepts(element)) {
        throw KvalorError(kIncompatibleContainerMessage);
    }
    if (holds(element)) {
        Adopt(element);
        return IndexOf(&element);
    }
    const int at = insertEntry(index, element);
    Adopt(element);
    EntryInserted(at);
    return at;
}

int TExaminerCollection::insertOwnedElement(int index, TExaminerElement* element) {
    requireOwning();
    requireEntry(element);
    return insertElement(index, *element);
}

int TExaminerCollection::insertOwnedCollection(int index, TExaminerCollection* collection) {
    requireOwning();
    requireEntry(collection);
    if (!HoldsCollections() || !AcceptsCollection(*collection)) {
        throw KvalorError(kIncompatibleContainerMessage);
    }
    int at = -1;
    if (holds(*collection)) {
        at = IndexOf(collection);
    } else {
        at = insertEntry(index, *collection);
        EntryInserted(at);
    }
    collection->SetParent(this);
    return at;
}

int TExaminerCollection::AddReference(TExaminerElement& element) {
    if (!IsView()) {
        throw KvalorError("Выполнение невозможно");
    }
    return insertElement(Count(), element);
}

void TExaminerCollection::forget(IExaminerItem& item) {
    if (IsView()) {
        viewed_.erase(&item);
    } else {
        item.holder_ = nullptr;
    }
}

TExaminerCollection::Entry TExaminerCollection::takeEntry(int index) {
    auto position = entries_.begin() + index;
    Entry entry = std::move(*position);
    entries_.erase(position);
    forget(*entry);
    EntryRemoved(*entry);
    if (entry->Parent() == this) {
        entry->SetParent(nullptr);
    }
    EntriesChanged();
    return entry;
}

template <class T>
std::unique_ptr<T> TExaminerCollection::extractEntry(T& entry) {
    requireOwning();
    const int index = IndexOf(&entry);
    if (index < 0) {
        return nullptr;
    }
    std::unique_ptr<T> result(&entry);
    takeEntry(index).release();
    return result;
}

std::unique_ptr<TExaminerElement> TExaminerCollection::Extract(TExaminerElement& entry) {
    return extractEntry(entry);
}

std::unique_ptr<TExaminerCollection> TExaminerCollection::Extract(TExaminerCollection& entry) {
    return extractEntry(entry);
}

void TExaminerCollection::ForgetEntry(const IExaminerItem& entry) {
    if (!IsView()) {
        throw KvalorError("Выполнение невозможно");
    }
    const int index = IndexOf(&entry);
    if (index >= 0) {
        takeEntry(index);
    }
}

void TExaminerCollection::Clear() {
    if (entries_.empty()) {
        return;
    }
    std::vector<Entry> removed;
    removed.swap(entries_);
    for (auto& entry : removed) {
        forget(*entry);
        EntryRemoved(*entry);
        if (entry->Parent() == this) {
            entry->SetParent(nullptr);
        }
    }
    removed.clear();
    EntriesChanged();
}

void TExaminerCollection::MoveEntry(int from, int to) {
    if (from < 0 || from >= Count() || to < 0 || to >= Count() || from == to) {
        return;
    }
    auto first = entries_.begin();
    if (from < to) {
        std::rotate(first + from, first + from + 1, first + to + 1);
    } else {
        std::rotate(first + to, first + from, first + from + 1);
    }
    EntriesChanged();
}

void TExaminerCollection::SortEntries(
    const std::function<bool(const IExaminerItem&, const IExaminerItem&)>& less) {
    std::stable_sort(entries_.begin(), entries_.end(),
                     [&less](const Entry& a, const Entry& b) { return less(*a, *b); });
    EntriesChanged();
}

TExaminerElement* TExaminerCollection::FindItem(const Guid& id) const {
    for (auto* element : CollectItems(*this, {}, true)) {
        if (element->Id() == id) {
            return element;
        }
    }
    return nullptr;
}

TExaminerCollection* TExaminerCollection::FindCollection(const Guid& id) {
    for (auto* collection : CollectCollections(*this, {})) {
        if (collection->Id() == id) {
            return collection;
        }
    }
    return nullptr;
}

void TExaminerCollection::Renumber() {
    std::int32_t number = 0;
    for (auto* element : CollectItems(*this, {}, true)) {
        element->SetNumber(++number);
    }
    RenumberCollections();
}

void TExaminerCollection::RenumberCollections() {
    std::int32_t number = 0;
    for (auto& entry : entries_) {
        if (entry->IsCollection()) {
            auto& sub = static_cast<TExaminerCollection&>(*entry);
            sub.SetNumber(++number);
            sub.RenumberCollections();
        }
    }
}

bool TExaminerCollection::EntriesNestWithin(int levels) const {
    if (entries_.empty()) {
        return true;
    }
    if (levels < 1) {
        return false;
    }
    for (const auto& entry : entries_) {
        const bool fits =
            entry->IsCollection()
                ? static_cast<const TExaminerCollection&>(*entry).EntriesNestWithin(levels - 1)
                : static_cast<const TExaminerElement&>(*entry).EntryLevelsBelow() < levels;
        if (!fits) {
            return false;
        }
    }
    return true;
}

void TExaminerCollection::Assign(const TExaminerCollection& source) {
    if (source.kind_ != kind_) {
        throw KvalorError("Несовместимые типы объектов");
    }
    if (!fixedIdentity_) {
        typeId_ = source.typeId_;
    }
    parent_ = source.parent_;
    name_ = source.name_;
    number_ = source.number_;
    flag_ = source.flag_;
    NewId();
}

}  // namespace kvalor
