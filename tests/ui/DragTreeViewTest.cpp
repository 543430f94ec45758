#include <memory>
#include <vector>

#include <gtest/gtest.h>
#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>

#include "model/Questions.h"
#include "model/TypeIds.h"
#include "support/GuiTest.h"
#include "ui/DragTreeView.h"
#include "ui/ItemTree.h"
#include "ui/ItemTreeModel.h"

namespace kvalor {
namespace {

// Drops reach the window with the node under the cursor and where on its row they fall; a
// drop the window refuses, or one that is not a tree's drag, reaches nothing.
TEST(DragTreeViewTest, DropsReachTheWindowWithTheirPlace) {
    TQuestions tests(kGroupKindRoot);
    for (const char* name : {"А", "Б", "В"}) {
        auto test = std::make_unique<TQuestions>(kGroupKindSimpleTest);
        test->SetName(name);
        tests.AddCollection(std::move(test));
    }
    TItemTreeModel model({QString()}, {QString()});
    model.SetTextsFunction([](const TItemNode& node) {
        return QStringList{QString::fromStdString(node.Item->GetName())};
    });
    FillTree(model, tests, nullptr);
    TDragTreeView view;
    view.setModel(&model);
    view.resize(200, 200);
    view.show();
    processEvents();

    bool refuse = false;
    std::vector<TreeDrop> drops;
    view.SetDropHandling(
        [&refuse](const TreeDrop&) { return refuse ? Qt::IgnoreAction : Qt::CopyAction; },
        [&drops](const TreeDrop& drop) { drops.push_back(drop); });

    const QRect row = view.visualRect(model.IndexOf(model.Root().Children[1].get()));
    QMimeData ours;
    ours.setData(TDragTreeView::MimeType(), QByteArray());
    QMimeData foreign;
    foreign.setText("Б");
    struct Case {
        const char* name;
        QPoint at;
        const QMimeData* data;
        bool refused;
        int target;  // index of the top-level node; -1: none; -2: no drop at all
        DropPlace place;
    };
    const Case cases[] = {
        {"top edge", QPoint(row.center().x(), row.top() + 1), &ours, false, 1, DropPlace::Above},
        {"middle", row.center(), &ours, false, 1, DropPlace::On},
        {"bottom edge", QPoint(row.center().x(), row.bottom() - 1), &ours, false, 1,
         DropPlace::Below},
        {"empty space", QPoint(row.center().x(), 190), &ours, false, -1, DropPlace::On},
        {"refused", row.center(), &ours, true, -2, DropPlace::On},
        {"foreign data", row.center(), &foreign, false, -2, DropPlace::On},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        drops.clear();
        refuse = c.refused;
        QDragEnterEvent enter(c.at, Qt::CopyAction | Qt::MoveAction, c.data, Qt::LeftButton,
                              Qt::ShiftModifier);
        QCoreApplication::sendEvent(view.viewport(), &enter);
        QDragMoveEvent move(c.at, Qt::CopyAction | Qt::MoveAction, c.data, Qt::LeftButton,
                            Qt::ShiftModifier);
        QCoreApplication::sendEvent(view.viewport(), &move);
        EXPECT_EQ(move.isAccepted(), c.target != -2);
        QDropEvent drop(c.at, Qt::CopyAction | Qt::MoveAction, c.data, Qt::LeftButton,
                        Qt::ShiftModifier);
        QCoreApplication::sendEvent(view.viewport(), &drop);
        processEvents();
        if (c.target == -2) {
            EXPECT_TRUE(drops.empty());
            continue;
        }
        ASSERT_EQ(drops.size(), 1u);
        EXPECT_EQ(drops[0].Target,
                  c.target < 0 ? nullptr : model.Root().Children[std::size_t(c.target)].get());
        EXPECT_EQ(drops[0].Place, c.place);
        EXPECT_EQ(drops[0].Modifiers, Qt::ShiftModifier);
    }
}

}  // namespace
}  // namespace kvalor
