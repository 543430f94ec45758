#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "util/Guid.h"

namespace kvalor {

class TExaminerCollection;

// What elements and collections have in common, so that tree views can walk leaves and
// containers alike. Containers own their items; the interface never keeps anything alive.
class IExaminerItem {
public:
    IExaminerItem() = default;
    IExaminerItem(const IExaminerItem&) = delete;
    IExaminerItem& operator=(const IExaminerItem&) = delete;
    virtual ~IExaminerItem() = default;

    virtual void SetName(const std::string& name) = 0;
    virtual void SetKind(std::uint8_t kind) = 0;
    virtual const std::string& GetName() const = 0;
    // Editable for an element, Flag for a collection.
    virtual std::uint8_t GetEditable() const = 0;
    virtual std::uint8_t GetKind() const = 0;
    virtual std::int32_t GetNumber() const = 0;
    virtual IExaminerItem& SetParent(TExaminerCollection* parent) = 0;
    virtual bool IsCollection() const = 0;

    // The class name that CollectItems and CollectCollections filter by ("TQuestion", ...).
    virtual std::string_view ClassName() const = 0;
    virtual const Guid& Id() const = 0;
    virtual TExaminerCollection* Parent() const = 0;
    // Gives the item and everything it owns new ids, at every level down to the answers of a
    // question: every copy (pasted, duplicated, dragged) then shares no id with its source.
    virtual void RenewIds() = 0;

private:
    friend class TExaminerCollection;

    // The owning collection that holds the item, kept by the collections alone: Parent may
    // name another list (an answer shown in a presentation list), this never does, so asking
    // whether a collection already holds an item costs no scan.
    TExaminerCollection* holder_ = nullptr;
};

}  // namespace kvalor
