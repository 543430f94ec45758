#pragma once

#include <algorithm>
#include <utility>
#include <vector>

#include <QComboBox>
#include <QItemSelection>
#include <QStandardItemModel>
#include <QString>

#include "util/Codepage.h"

namespace kvalor {

class TCompetitors;
class TExaminerCollection;
class TExaminerElement;
class TKvalor;
class TQuestions;

// What the journal's filter lists offer, taken from the data as it is at that moment, and the
// entry a choice names. A list keeps the text of its entry's id rather than the entry, which
// another window may free while it is chosen. And which rows of the list are selected.

// The groups of users at any depth, without the list itself.
std::vector<TExaminerCollection*> UserGroups(TCompetitors& users);
// The accounts of the group's subtree; the built-in applicant only withApplicant.
std::vector<TExaminerElement*> GroupAccounts(const TExaminerCollection& group, bool withApplicant);
// The tests of the kind, without the groups inside them: a study is always of a test.
std::vector<TQuestions*> TestsOfKind(TKvalor& root, bool complex);

// By name as names compare, stably.
template <class T>
void SortByDisplayName(std::vector<T*>& entries) {
    // Each name is converted and keyed once: a list of thousands of accounts would otherwise
    // collate every name again at each of its comparisons.
    std::vector<std::pair<QCollatorSortKey, T*>> keyed;
    keyed.reserve(entries.size());
    for (T* entry : entries) {
        keyed.emplace_back(displaySortKey(fromCp1251(entry->GetName())), entry);
    }
    std::ranges::stable_sort(
        keyed, [](const auto& a, const auto& b) { return a.first.compare(b.first) < 0; });
    for (std::size_t i = 0; i < keyed.size(); ++i) {
        entries[i] = keyed[i].second;
    }
}

// The first entry whose id has the text; nullptr when there is none (it is gone meanwhile).
template <class T>
T* EntryWithId(const std::vector<T*>& entries, const QString& idText) {
    const auto found = std::ranges::find_if(
        entries, [&idText](const T* entry) { return entry->Id().toQString() == idText; });
    return found == entries.end() ? nullptr : *found;
}

// The list holds the entries by the text of their id, in display order. With keepChoice the
// entry chosen before stays chosen when it is still there; returns whether a choice was lost
// (its entry is gone), which leaves the list without one.
template <class T>
bool FillSorted(QComboBox& list, std::vector<T*> entries, bool keepChoice) {
    SortByDisplayName(entries);
    const QVariant chosen = keepChoice ? list.currentData() : QVariant();
    list.clear();
    // The rows go into the list's model at once: added one by one, each would be announced
    // to the list on its own, which costs more than the rest of the journal's first screen.
    QList<QStandardItem*> rows;
    rows.reserve(static_cast<qsizetype>(entries.size()));
    for (T* entry : entries) {
        auto* row = new QStandardItem(fromCp1251(entry->GetName()));
        row->setData(entry->Id().toQString(), Qt::UserRole);
        rows.append(row);
    }
    // The journal's lists keep the model every list starts with.
    qobject_cast<QStandardItemModel*>(list.model())->invisibleRootItem()->appendRows(rows);
    list.setCurrentIndex(chosen.isValid() ? list.findData(chosen) : -1);
    return chosen.isValid() && list.currentIndex() < 0;
}

// The chosen entry among the candidates; nullptr when none is chosen or it is gone meanwhile.
template <class T>
T* ChosenAmong(const QComboBox& list, const std::vector<T*>& candidates) {
    return list.currentIndex() < 0 ? nullptr
                                   : EntryWithId(candidates, list.currentData().toString());
}

// The rows of the selection, each once, in order; with a limit, only enough of them to tell
// whether there are that many (a selection of every row of a long journal stays cheap).
std::vector<int> DistinctRows(const QItemSelection& selection, std::size_t limit);

}  // namespace kvalor
