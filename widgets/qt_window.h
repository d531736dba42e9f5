#pragma once
// The language engine's view of a Qt window: the window's design controls in control order,
// with their type names, names, indices and captions. Texts cross as UTF-8.
//
// A design control is an object with a name that the window's composition marked with its
// tab index or its control-array index, or a top-level menu of the window's menu bar. The
// order is the window's object tree walked depth first in creation order, which is the
// design's order: a container before the controls it holds, the menus last.
#include <QPointer>
#include <QWidget>
#include <vector>

#include "localisation/window_adapter.h"

namespace localisation {

class QtWindow final : public WindowAdapter {
public:
    explicit QtWindow(QWidget* window);

    std::string windowName() const override;
    std::size_t controlCount() const override { return m_controls.size(); }
    std::string typeName(std::size_t control) const override;
    std::string controlName(std::size_t control) const override;
    std::optional<int> index(std::size_t control) const override;
    std::string caption(std::size_t control) const override;
    void setCaption(std::size_t control, const std::string& text) override;
    int partCount(std::size_t control) const override;
    std::string partText(std::size_t control, int part) const override;
    void setPartText(std::size_t control, int part, const std::string& text) override;
    void refresh(std::size_t control) override;

    QObject* control(std::size_t control) const { return m_controls.at(control); }

private:
    QPointer<QWidget> m_window;
    std::vector<QPointer<QObject>> m_controls;
};

// The design controls of a window, in control order.
std::vector<QObject*> DesignControls(QWidget* window);

// The engine's texts (UTF-8) to and from the window system's.
QString FromEngineText(const std::string& utf8);
std::string ToEngineText(const QString& text);

}  // namespace localisation
