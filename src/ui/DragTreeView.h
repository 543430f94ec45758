#pragma once

#include <functional>

#include <QTreeView>

#include "ui/DropPlace.h"

namespace kvalor {

struct TItemNode;

// What a tree hands to its window when something is dragged over it or dropped on it.
struct TreeDrop {
    // The widget the drag started in (nullptr when it came from another program).
    const QObject* Source = nullptr;
    // The node under the cursor; nullptr over empty space.
    TItemNode* Target = nullptr;
    DropPlace Place = DropPlace::On;
    Qt::KeyboardModifiers Modifiers;
};

// A tree view over a TItemTreeModel whose drags carry nothing but the fact of a drag from it:
// what is dragged is the selection of the source tree, which the window reads itself. The
// window decides what a drop does.
class TDragTreeView : public QTreeView {
    Q_OBJECT
public:
    // The effect shown while dragging; IgnoreAction refuses the drop.
    using AcceptFunction = std::function<Qt::DropAction(const TreeDrop& drop)>;
    using DropFunction = std::function<void(const TreeDrop& drop)>;

    explicit TDragTreeView(QWidget* parent = nullptr);

    void SetDropHandling(AcceptFunction accept, DropFunction drop);

    // What every drag from such a tree carries, and what its drops must carry.
    static QString MimeType();

    // The column takes the width the other columns leave, but never less than the minimum: a
    // narrow tree scrolls sideways rather than cutting the column down to nothing.
    void SetFillColumn(int column, int minimum);

protected:
    void resizeEvent(QResizeEvent* event) override;
    void startDrag(Qt::DropActions supportedActions) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;

private:
    TreeDrop DropAt(const QDropEvent& event) const;
    void FitFillColumn();
    Qt::DropAction Accepting(QDropEvent& event) const;

    AcceptFunction accept_;
    DropFunction drop_;
    int fillColumn_ = -1;
    int fillMinimum_ = 0;
};

}  // namespace kvalor
