#pragma once
// The find line's second part: under the list's own matches, what the typed text finds in the
// other lists ("In other lists", each with the list it is in) and in the guide ("In the
// programme guide", each programme with its channel and time). A click or Enter plays the
// channel or opens the guide's grid at the programme. The index behind it is made on a worker
// when the line first opens and again after the lists or the guide changed.
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>

#include "windows/find_index.h"

class ListView;
class QTreeWidget;
class QTreeWidgetItem;

class FindElsewhere : public QObject {
    Q_OBJECT
public:
    struct Hooks {
        // Called on the window's thread: gathers what the index needs and gives the work that
        // makes it, which then runs on a worker.
        std::function<std::function<std::shared_ptr<const find_index::Index>()>()> prepare;
        std::function<std::string(const ListView*)> shownList;  // the list on show's name in the index
        std::function<void(const find_index::Channel&)> play;
        std::function<void(const find_index::Programme&, const find_index::Channel&)> openGuide;
    };
    static constexpr std::size_t kShown = 8;  // of each kind

    FindElsewhere(const std::vector<ListView*>& lists, Hooks hooks, QObject* parent = nullptr);
    // The lists or the guide changed: the index is made anew at the next need.
    void invalidate();
    const find_index::Index* index() const { return m_index.get(); }
    QTreeWidget* panelOf(const ListView* list) const;

signals:
    void ready();  // a new index is there (and the open lines show its matches)

private:
    void edited(ListView* list);
    void show(ListView* list, const find_index::Index::Matches& found);
    void chosen(QTreeWidgetItem* item);
    void make();

    struct Panel {
        ListView* list;
        QTreeWidget* tree;
    };
    std::vector<Panel> m_panels;
    Hooks m_hooks;
    std::shared_ptr<const find_index::Index> m_index;
    bool m_stale = true, m_making = false, m_again = false;
    QElapsedTimer m_clicked;
};
