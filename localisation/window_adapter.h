#pragma once
// What the language engine sees of a window: its name and its controls in the window's control
// order, each with a type name ("Label", "CommandButton", "ListView", "Menu", ...), a name, an
// index when it belongs to a control array, a caption, and the texts of its tabs or column
// headers. Texts are UTF-8. The GUI implements it for Qt windows; tests implement it directly.
#include <cstddef>
#include <optional>
#include <string>

namespace localisation {

class WindowAdapter {
public:
    virtual ~WindowAdapter() = default;
    virtual std::string windowName() const = 0;
    virtual std::size_t controlCount() const = 0;
    virtual std::string typeName(std::size_t control) const = 0;
    virtual std::string controlName(std::size_t control) const = 0;
    virtual std::optional<int> index(std::size_t control) const = 0;
    virtual std::string caption(std::size_t control) const = 0;
    virtual void setCaption(std::size_t control, const std::string& text) = 0;
    // Tabs of a tab strip, column headers of a list view: counted from 1.
    virtual int partCount(std::size_t control) const = 0;
    virtual std::string partText(std::size_t control, int part) const = 0;
    virtual void setPartText(std::size_t control, int part, const std::string& text) = 0;
    virtual void refresh(std::size_t /*control*/) {}
};

}  // namespace localisation
