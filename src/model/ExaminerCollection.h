#pragma once

#include <concepts>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "model/ExaminerElement.h"
#include "model/ExaminerItem.h"
#include "util/ByteStream.h"
#include "util/Guid.h"

namespace kvalor {

// What adding or reading an entry says when the collection does not take it.
inline constexpr const char* kIncompatibleContainerMessage =
    "Несовместимые типы объекта и контейнера";

// An owning collection frees its entries; a view only refers to entries owned elsewhere.
enum class Ownership { Owning, View };

// A container of the data model (test, question group, answers, users group): an ordered list
// of elements and sub-collections.
//
// Owning collections take entries as std::unique_ptr (AddItem, InsertItem, AddCollection,
// InsertCollection) and hand them back with Extract. These take the pointer by rvalue
// reference and empty it only on success: when a rule refuses the entry, the caller still
// owns it. Views take references (AddReference) and leave the entries' Parent alone (only an
// answers presentation list re-parents, see TAnswers).
class TExaminerCollection : public IExaminerItem {
public:
    // type id + id + Flag + Kind + Number + name length + entry count.
    static constexpr std::size_t kMinRecordBytes = 16 + 16 + 1 + 1 + 4 + 4 + 4;
    // A tag byte and the smallest entry record (an element).
    static constexpr std::size_t kMinEntryBytes = 1 + TExaminerElement::kMinRecordBytes;

    explicit TExaminerCollection(std::uint8_t kind, std::optional<Guid> id = std::nullopt,
                                 Ownership ownership = Ownership::Owning);
    ~TExaminerCollection() override;

    bool IsView() const { return ownership_ == Ownership::View; }

    void NewId();
    // A view renews nothing: its entries belong to another list.
    void RenewIds() override;
    const Guid& Id() const override { return id_; }
    const Guid& TypeId() const { return typeId_; }

    void SetName(const std::string& name) override { name_ = name; }
    const std::string& GetName() const override { return name_; }
    // Raises "Невозможно изменить значение Kind" when entries are held and the kind differs.
    void SetKind(std::uint8_t kind) override;
    std::uint8_t GetKind() const override { return kind_; }
    std::uint8_t Flag() const { return flag_; }
    void SetFlag(std::uint8_t flag) { flag_ = flag; }
    std::uint8_t GetEditable() const override { return flag_; }
    std::int32_t GetNumber() const override { return number_; }
    void SetNumber(std::int32_t number) { number_ = number; }
    TExaminerCollection* Parent() const override { return parent_; }
    IExaminerItem& SetParent(TExaminerCollection* parent) override;
    bool IsCollection() const final { return true; }
    std::string_view ClassName() const override { return "TExaminerCollection"; }

    // Only collections of kind 3, 4 or 5 hold sub-collections.
    bool HoldsCollections() const;

    int Count() const { return static_cast<int>(entries_.size()); }
    // The entry at index, or nullptr when the index is out of range.
    IExaminerItem* Items(int index) const;
    TExaminerElement* ElementAt(int index) const;        // nullptr for a sub-collection
    TExaminerCollection* CollectionAt(int index) const;  // nullptr for an element
    int IndexOf(const IExaminerItem* item) const;

    // Appends the element, or returns its index when it is already held (ownership then stays
    // as it was). Either way its Parent becomes this collection. Raises "Несовместимые типы
    // объекта и контейнера" when the collection does not accept the element.
    template <std::derived_from<TExaminerElement> T>
    int AddItem(std::unique_ptr<T>&& element) {
        return InsertItem(Count(), std::move(element));
    }
    // Inserts at index (an index at or beyond the count appends); an element already held
    // stays where it is. Returns the element's index.
    template <std::derived_from<TExaminerElement> T>
    int InsertItem(int index, std::unique_ptr<T>&& element) {
        const int at = insertOwnedElement(index, element.get());
        element.release();
        return at;
    }
    // As AddItem for sub-collections; raises "Несовместимые типы объекта и контейнера" unless
    // this collection's kind is 3, 4 or 5.
    template <std::derived_from<TExaminerCollection> T>
    int AddCollection(std::unique_ptr<T>&& collection) {
        return InsertCollection(Count(), std::move(collection));
    }
    template <std::derived_from<TExaminerCollection> T>
    int InsertCollection(int index, std::unique_ptr<T>&& collection) {
        const int at = insertOwnedCollection(index, collection.get());
        collection.release();
        return at;
    }
    // Takes an entry out of an owning collection and hands it to the caller; nullptr when the
    // entry is not held. The entry's Parent is cleared.
    std::unique_ptr<TExaminerElement> Extract(TExaminerElement& entry);
    std::unique_ptr<TExaminerCollection> Extract(TExaminerCollection& entry);

    // Views only: appends a reference to an element owned elsewhere (its index when already
    // held), with the acceptance rules of the collection.
    int AddReference(TExaminerElement& element);

    // Frees the entries of an owning collection; a view merely forgets them.
    void Clear();
    void MoveEntry(int from, int to);
    void SortEntries(const std::function<bool(const IExaminerItem&, const IExaminerItem&)>& less);

    // Lookups over the whole subtree, in depth-first order; the collection itself is a
    // candidate of FindCollection.
    TExaminerElement* FindItem(const Guid& id) const;
    TExaminerCollection* FindCollection(const Guid& id);

    // Numbers the elements of the whole subtree 1, 2, 3 ... in depth-first order, then the
    // sub-collections (RenumberCollections).
    virtual void Renumber();
    // Sub-collections get 1, 2, 3 ... per level, in list order; elements do not count.
    void RenumberCollections();

    // Whether every stored entry below the collection lies within that many record levels of
    // it, counted as the reader counts them (see kMaxRecordNesting): what a writer checks
    // before it writes a record that could not be read back.
    bool EntriesNestWithin(int levels) const;

    virtual void SaveToStream(ByteStream& stream) const;
    // Appends the entries of the record to those already held. A failure leaves the entries
    // read so far; the entry being read is discarded whole.
    virtual void LoadFromStream(ByteStream& stream, const ReadContext& context);
    // Copies type id, Parent, Name, Number and Flag and gives this collection a new id; the
    // entries are not copied. Raises "Несовместимые типы объектов" when the kinds differ.
    virtual void Assign(const TExaminerCollection& source);

protected:
    // See TExaminerElement::FixClassIdentity.
    void FixClassIdentity(const Guid& typeId);

    // Whether an element may be added (AddItem, InsertItem, AddReference, reading).
    virtual bool Accepts(const TExaminerElement& element) const;
    // Whether a sub-collection may be added (AddCollection, InsertCollection, reading), once
    // the kind allows sub-collections at all.
    virtual bool AcceptsCollection(const TExaminerCollection&) const { return true; }
    // Links a newly added (or re-added) element to the collection; an owning collection
    // becomes its Parent.
    virtual void Adopt(TExaminerElement& element);
    // Whether reading passes over an entry that the collection does not accept, dropping it,
    // rather than failing on it as damage.
    virtual bool DropsForeignEntries() const { return false; }
    // Called after entries were added, removed or moved.
    virtual void EntriesChanged() {}
    // Called after one entry was inserted at index; by default as any other change.
    virtual void EntryInserted(int /*index*/) { EntriesChanged(); }
    // Called while an entry is being removed, before it is freed or handed out.
    virtual void EntryRemoved(IExaminerItem&) {}

    // Views only: drops the reference to an entry.
    void ForgetEntry(const IExaminerItem& entry);

private:
    struct EntryDeleter {
        bool owns = true;
        void operator()(IExaminerItem* item) const noexcept {
            if (owns) {
                delete item;
            }
        }
    };
    using Entry = std::unique_ptr<IExaminerItem, EntryDeleter>;

    int insertOwnedElement(int index, TExaminerElement* element);
    int insertOwnedCollection(int index, TExaminerCollection* collection);
    int insertElement(int index, TExaminerElement& element);
    // Whether the entry is held, without a scan: an owning collection is the item's holder, a
    // view keeps a set of what it refers to.
    bool holds(const IExaminerItem& item) const;
    int insertEntry(int index, IExaminerItem& item);
    void forget(IExaminerItem& item);
    template <class T>
    std::unique_ptr<T> extractEntry(T& entry);
    Entry takeEntry(int index);
    void requireOwning() const;
    static void requireEntry(const IExaminerItem* entry);
    // Each entry made for reading takes its memory from the stream's budget.
    static std::unique_ptr<TExaminerCollection> createEntryCollection(ByteStream& stream,
                                                                      const Guid& typeId,
                                                                      std::uint8_t kind);
    static std::unique_ptr<TExaminerElement> createEntryElement(ByteStream& stream,
                                                                const Guid& typeId,
                                                                std::uint8_t tag);
    void readEntry(ByteStream& stream, const ReadContext& context);

    std::vector<Entry> entries_;
    std::unordered_set<const IExaminerItem*> viewed_;  // views only
    Ownership ownership_;
    Guid id_;
    Guid typeId_;
    TExaminerCollection* parent_ = nullptr;
    std::uint8_t kind_;
    std::string name_;
    std::int32_t number_ = 0;
    std::uint8_t flag_ = 0;
    bool fixedIdentity_ = false;
    bool fixedKind_ = false;
};

}  // namespace kvalor
