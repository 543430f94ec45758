#include "authoring/ItemPaste.h"

#include "authoring/TestItems.h"
#include "model/Question.h"
#include "model/Questions.h"
#include "model/TypeIds.h"

namespace kvalor {

namespace {

const TQuestions* asGroupOfKind(const IExaminerItem& item, std::uint8_t groupKind) {
    const auto* group = dynamic_cast<const TQuestions*>(&item);
    return group && group->GroupKind() == groupKind ? group : nullptr;
}

}  // namespace

bool MayPaste(ClipboardFormat format, const IExaminerItem& target) {
    const TQuestions* test = asGroupOfKind(target, kGroupKindSimpleTest);
    const bool group = asGroupOfKind(target, kGroupKindSubgroup) != nullptr;
    switch (format) {
        case ClipboardFormat::Questions:
            return dynamic_cast<const TQuestion*>(&target) || group ||
                   (test && (test->Count() == 0 || HoldsQuestionDirectly(*test)));
        case ClipboardFormat::SimpleTests:
            return test != nullptr;
        case ClipboardFormat::Groups:
            return group || (test && !HoldsQuestionDirectly(*test));
        default:
            return false;
    }
}

void PasteItems(ClipboardFormat format, ByteStream& block, IExaminerItem& target,
                PastedItems& pasted) {
    const std::int32_t count = ReadClipboardCount(block, format);
    const bool besideTarget =
        !target.IsCollection() || format == ClipboardFormat::SimpleTests ||
        (format == ClipboardFormat::Groups && asGroupOfKind(target, kGroupKindSubgroup));
    TExaminerCollection* receiver =
        besideTarget ? target.Parent() : static_cast<TExaminerCollection*>(&target);
    if (!receiver) {
        return;
    }
    pasted.Receiver = receiver;
    int index = besideTarget ? receiver->IndexOf(&target) + 1 : receiver->Count();
    for (std::int32_t i = 0; i < count; ++i) {
        if (format == ClipboardFormat::Questions) {
            auto question = ReadClipboardQuestion(block);
            TQuestion* placed = question.get();
            index = receiver->InsertItem(index, std::move(question)) + 1;
            pasted.Last = placed;
            continue;
        }
        auto collection = ReadClipboardCollection(block, format);
        if (format == ClipboardFormat::SimpleTests) {
            collection->SetName(CopyName(*collection));
        }
        TQuestions* placed = collection.get();
        index = receiver->InsertCollection(index, std::move(collection)) + 1;
        pasted.Last = placed;
    }
}

TExaminerCollection& RenumberReceiver(TExaminerCollection& receiver) {
    TExaminerCollection& numbered = asGroupOfKind(receiver, kGroupKindSubgroup) && receiver.Parent()
                                        ? *receiver.Parent()
                                        : receiver;
    numbered.RenumberCollections();
    numbered.Renumber();
    return numbered;
}

}  // namespace kvalor
