#include <memory>
#include <set>

#include <gtest/gtest.h>
#include <QTreeView>

#include "model/Question.h"
#include "model/Questions.h"
#include "model/TaskList.h"
#include "model/TypeIds.h"
#include "ui/ItemTree.h"
#include "ui/ItemTreeModel.h"

namespace kvalor {
namespace {

// Two simple tests and a complex test that draws from both:
//   "А": group "Г1" (questions 1, 2), group "Г2" (question 3);   "Б": question 1.
class ItemTreeTest : public ::testing::Test {
protected:
    void SetUp() override {
        a_ = &addCollection(simple_, kGroupKindSimpleTest, "А");
        g1_ = &addCollection(*a_, kGroupKindSubgroup, "Г1");
        q1_ = &addQuestion(*g1_);
        q2_ = &addQuestion(*g1_);
        g2_ = &addCollection(*a_, kGroupKindSubgroup, "Г2");
        q3_ = &addQuestion(*g2_);
        b_ = &addCollection(simple_, kGroupKindSimpleTest, "Б");
        addQuestion(*b_);
        complex_ = &addCollection(complexRoot_, kGroupKindComplexTest, "К");
        tasks_.AddTask(*complex_, *b_);
        tasks_.AddTask(*complex_, *a_);

        model_.SetTextsFunction([this](const TItemNode& node) {
            computed_.insert(node.Item);
            return QStringList{QString::fromStdString(node.Item->GetName())};
        });
        tree_.setModel(&model_);
        tree_.setSelectionMode(QAbstractItemView::ExtendedSelection);
    }

    static TQuestions& addCollection(TQuestions& parent, std::uint8_t kind, const char* name) {
        auto group = std::make_unique<TQuestions>(kind);
        group->SetName(name);
        TQuestions& result = *group;
        parent.AddCollection(std::move(group));
        return result;
    }
    static TQuestion& addQuestion(TQuestions& parent) {
        auto question = std::make_unique<TQuestion>();
        TQuestion& result = *question;
        parent.AddItem(std::move(question));
        return result;
    }
    // The items of the node's children, in order.
    static std::vector<IExaminerItem*> children(const TItemNode& node) {
        std::vector<IExaminerItem*> items;
        for (const auto& child : node.Children) {
            items.push_back(child->Item);
        }
        return items;
    }
    QModelIndex indexOf(const IExaminerItem* item) {
        return model_.IndexOf(FindItemNode(model_, item));
    }
    void select(std::initializer_list<const IExaminerItem*> items) {
        tree_.clearSelection();
        for (const IExaminerItem* item : items) {
            tree_.selectionModel()->select(indexOf(item),
                                           QItemSelectionModel::Select | QItemSelectionModel::Rows);
        }
    }

    TQuestions simple_{kGroupKindRoot};
    TQuestions complexRoot_{kGroupKindRoot};
    TTaskList tasks_;
    TQuestions *a_, *b_, *g1_, *g2_, *complex_;
    TQuestion *q1_, *q2_, *q3_;
    TItemTreeModel model_{{"Наименование"}, {"Наименование теста"}};
    QTreeView tree_;
    std::set<const IExaminerItem*> computed_;
};

TEST_F(ItemTreeTest, FillFindAndTaskMode) {
    FillTree(model_, simple_, nullptr);
    ASSERT_EQ(children(model_.Root()), (std::vector<IExaminerItem*>{a_, b_}));
    const TItemNode& a = *model_.Root().Children[0];
    EXPECT_EQ(children(a), (std::vector<IExaminerItem*>{g1_, g2_}));
    EXPECT_EQ(children(*a.Children[0]), (std::vector<IExaminerItem*>{q1_, q2_}));
    EXPECT_EQ(FindItemNode(model_, q3_), a.Children[1]->Children[0].get());
    EXPECT_EQ(FindItemNode(model_, complex_), nullptr);
    EXPECT_EQ(model_.rowCount(indexOf(g1_)), 2);
    EXPECT_EQ(model_.parent(indexOf(q2_)), indexOf(g1_));

    // The complex tree: a test's children are the sources of its tasks, in task-list order.
    TItemTreeModel complexModel({"Наименование"}, {""});
    FillTree(complexModel, complexRoot_, nullptr, &tasks_);
    ASSERT_EQ(complexModel.Root().Children.size(), 1u);
    TItemNode& node = *complexModel.Root().Children[0];
    EXPECT_EQ(children(node), (std::vector<IExaminerItem*>{b_, a_}));
    EXPECT_TRUE(node.Children[0]->Children.empty());

    // Rebuilding the test's node alone gives it its tasks again.
    tasks_.RemoveTask(*complex_, *b_);
    QTreeView complexTree;
    complexTree.setModel(&complexModel);
    RebuildItemNode(complexTree, complexModel, *complex_, &tasks_);
    EXPECT_EQ(children(node), (std::vector<IExaminerItem*>{a_}));
}

TEST_F(ItemTreeTest, TextsAreComputedWhenShownAndKeptUntilReset) {
    FillTree(model_, simple_, nullptr);
    EXPECT_TRUE(computed_.empty());
    EXPECT_EQ(model_.data(indexOf(g1_)).toString(), "Г1");
    EXPECT_EQ(computed_, (std::set<const IExaminerItem*>{g1_}));

    // A kept text is shown until the node is reset, then the new one.
    g1_->SetName("Сложение");
    EXPECT_EQ(model_.data(indexOf(g1_)).toString(), "Г1");
    TItemNode& group = *FindItemNode(model_, g1_);
    model_.ResetTexts(group);
    EXPECT_EQ(model_.data(indexOf(g1_)).toString(), "Сложение");

    // Upwards: the node and its ancestors; below: the node and its subtree.
    for (const IExaminerItem* item :
         std::initializer_list<const IExaminerItem*>{a_, g1_, q1_, g2_}) {
        model_.data(indexOf(item));
    }
    model_.ResetTextsUpwards(*FindItemNode(model_, q1_));
    EXPECT_FALSE(FindItemNode(model_, a_)->TextsCached);
    EXPECT_FALSE(FindItemNode(model_, g1_)->TextsCached);
    EXPECT_TRUE(FindItemNode(model_, g2_)->TextsCached);
    model_.data(indexOf(g1_));
    model_.ResetTextsBelow(*FindItemNode(model_, a_));
    for (const IExaminerItem* item :
         std::initializer_list<const IExaminerItem*>{a_, g1_, q1_, g2_}) {
        EXPECT_FALSE(FindItemNode(model_, item)->TextsCached);
    }
}

TEST_F(ItemTreeTest, RebuildKeepsTheExpandedStateAndSelectNodeAloneShowsTheNode) {
    FillTree(model_, simple_, nullptr);
    tree_.expand(indexOf(a_));
    tree_.expand(indexOf(g1_));
    addQuestion(*g1_);
    RebuildItemNode(tree_, model_, *a_);
    EXPECT_TRUE(tree_.isExpanded(indexOf(a_)));
    EXPECT_EQ(model_.rowCount(indexOf(g1_)), 3);
    // The author's open groups stay open.
    EXPECT_TRUE(tree_.isExpanded(indexOf(g1_)));

    tree_.collapse(indexOf(a_));
    RebuildItemNode(tree_, model_, *a_);
    EXPECT_FALSE(tree_.isExpanded(indexOf(a_)));

    select({b_, q1_});
    tree_.expand(indexOf(g2_));
    SelectNodeAlone(tree_, *FindItemNode(model_, g2_));
    EXPECT_EQ(tree_.selectionModel()->selectedRows(), QModelIndexList{indexOf(g2_)});
    EXPECT_EQ(tree_.currentIndex(), indexOf(g2_));
    EXPECT_FALSE(tree_.isExpanded(indexOf(g2_)));
    EXPECT_TRUE(tree_.isExpanded(indexOf(a_)));
}

TEST_F(ItemTreeTest, SameTypeSelection) {
    FillTree(model_, simple_, nullptr);
    struct Case {
        std::initializer_list<const IExaminerItem*> selected;
        bool same;
        std::string_view className;
        std::uint8_t groupKind;
    };
    const Case cases[] = {
        {{q3_, q1_}, true, "TQuestion", 0},
        {{a_, g1_}, false, "TQuestions", kGroupKindSimpleTest},
        {{g2_, g1_}, true, "TQuestions", kGroupKindSubgroup},
        {{g2_, q1_}, false, "TQuestion", 0},
        {{b_}, true, "TQuestions", kGroupKindSimpleTest},
        {{}, true, "", 0},
    };
    for (const Case& c : cases) {
        select(c.selected);
        const SelectionType type = SameTypeSelection(tree_);
        EXPECT_EQ(type.Same, c.same) << c.className;
        EXPECT_EQ(type.ClassName, c.className);
        EXPECT_EQ(type.GroupKind, c.groupKind) << c.className;
    }
    // In tree order, whatever the order of selecting.
    select({q3_, g1_, q1_});
    const std::vector<TItemNode*> nodes = SelectedNodes(tree_);
    ASSERT_EQ(nodes.size(), 3u);
    EXPECT_EQ(nodes[0]->Item, g1_);
    EXPECT_EQ(nodes[1]->Item, q1_);
    EXPECT_EQ(nodes[2]->Item, q3_);
}

}  // namespace
}  // namespace kvalor
