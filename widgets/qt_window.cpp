#include "widgets/qt_window.h"

#include <QAbstractButton>
#include <QAction>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTabBar>
#include <QTabWidget>

#include "widgets/control_types.h"
#include "widgets/design.h"
#include "widgets/list_view.h"

namespace localisation {
namespace {

bool IsDesignControl(const QObject* object) {
    if (object->objectName().isEmpty()) return false;
    if (const auto* menu = qobject_cast<const QMenu*>(object))
        return qobject_cast<const QMenuBar*>(menu->parent()) != nullptr;
    // A top-level menu's own action carries the menu's name; the menu stands for it.
    if (const auto* action = qobject_cast<const QAction*>(object)) {
        if (action->menu()) return false;
        return action->property(design::kIndex).isValid() || action->property(design::kMenuEntry).toBool();
    }
    return object->property(design::kTabIndex).isValid() || object->property(design::kIndex).isValid();
}

void Collect(QObject* parent, std::vector<QObject*>& out) {
    for (QObject* child : parent->children()) {
        if (IsDesignControl(child)) out.push_back(child);
        Collect(child, out);
    }
}

}  // namespace

QString FromEngineText(const std::string& utf8) {
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}
std::string ToEngineText(const QString& text) { return text.toUtf8().toStdString(); }

std::vector<QObject*> DesignControls(QWidget* window) {
    std::vector<QObject*> out;
    if (window) Collect(window, out);
    return out;
}

QtWindow::QtWindow(QWidget* window) : m_window(window) {
    for (QObject* c : DesignControls(window)) m_controls.emplace_back(c);
}

std::string QtWindow::windowName() const { return m_window ? ToEngineText(m_window->objectName()) : std::string(); }

std::string QtWindow::typeName(std::size_t control) const {
    return ToEngineText(ControlTypeName(m_controls.at(control)));
}

std::string QtWindow::controlName(std::size_t control) const {
    const QObject* c = m_controls.at(control);
    return c ? ToEngineText(c->objectName()) : std::string();
}

std::optional<int> QtWindow::index(std::size_t control) const {
    const QObject* c = m_controls.at(control);
    if (!c) return std::nullopt;
    const QVariant v = c->property(design::kIndex);
    if (!v.isValid()) return std::nullopt;
    return v.toInt();
}

std::string QtWindow::caption(std::size_t control) const {
    QObject* c = m_controls.at(control);
    if (!c) return {};
    if (const QVariant designed = c->property(design::kCaption); designed.isValid())
        return ToEngineText(designed.toString());
    if (auto* b = qobject_cast<QAbstractButton*>(c)) return ToEngineText(b->text());
    if (auto* l = qobject_cast<QLabel*>(c)) return ToEngineText(l->text());
    if (auto* g = qobject_cast<QGroupBox*>(c)) return ToEngineText(g->title());
    if (auto* m = qobject_cast<QMenu*>(c)) return ToEngineText(m->title());
    if (auto* a = qobject_cast<QAction*>(c)) return ToEngineText(a->text());
    return {};
}

void QtWindow::setCaption(std::size_t control, const std::string& utf8) {
    QObject* c = m_controls.at(control);
    if (!c) return;
    const QString text = FromEngineText(utf8);
    // A caption the control does not draw (a separator's "-") is kept as a property only: given
    // to the separator as text, it would be drawn beside the line, on a taller row.
    if (c->property(design::kCaption).isValid()) {
        c->setProperty(design::kCaption, text);
        return;
    }
    if (auto* b = qobject_cast<QAbstractButton*>(c))
        b->setText(text);
    else if (auto* l = qobject_cast<QLabel*>(c))
        l->setText(text);
    else if (auto* g = qobject_cast<QGroupBox*>(c))
        g->setTitle(text);
    else if (auto* m = qobject_cast<QMenu*>(c))
        m->setTitle(text);
    else if (auto* a = qobject_cast<QAction*>(c))
        a->setText(text);
}

int QtWindow::partCount(std::size_t control) const {
    QObject* c = m_controls.at(control);
    if (auto* list = qobject_cast<ListView*>(c)) return static_cast<int>(list->columnHeaders().size());
    if (auto* tabs = qobject_cast<QTabBar*>(c)) return tabs->count();
    if (auto* tabs = qobject_cast<QTabWidget*>(c)) return tabs->count();
    return 0;
}

std::string QtWindow::partText(std::size_t control, int part) const {
    QObject* c = m_controls.at(control);
    if (part < 1 || part > partCount(control)) return {};
    if (auto* list = qobject_cast<ListView*>(c)) return ToEngineText(list->columnHeaders().at(part - 1));
    if (auto* tabs = qobject_cast<QTabBar*>(c)) return ToEngineText(tabs->tabText(part - 1));
    if (auto* tabs = qobject_cast<QTabWidget*>(c)) return ToEngineText(tabs->tabText(part - 1));
    return {};
}

void QtWindow::setPartText(std::size_t control, int part, const std::string& utf8) {
    QObject* c = m_controls.at(control);
    if (part < 1 || part > partCount(control)) return;
    if (auto* list = qobject_cast<ListView*>(c))
        list->setColumnHeader(part, FromEngineText(utf8));
    else if (auto* tabs = qobject_cast<QTabBar*>(c))
        tabs->setTabText(part - 1, FromEngineText(utf8));
    else if (auto* tabs = qobject_cast<QTabWidget*>(c))
        tabs->setTabText(part - 1, FromEngineText(utf8));
}

void QtWindow::refresh(std::size_t control) {
    if (auto* w = qobject_cast<QWidget*>(m_controls.at(control))) w->update();
}

}  // namespace localisation
