#pragma once
// The main window as a user at the keyboard has it: loaded, shown and active, with the keys
// going to whatever has the focus.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <memory>

#include "windows/main_window.h"

namespace test_support {

inline std::unique_ptr<Form1> StartActive() {
    auto form = std::make_unique<Form1>();
    form->Form_Load();
    form->show();
    form->activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(form.get()));
    // The keys go to the focus widget, which exists only once the window is active; on X11
    // the activation comes from the server, some time after the window is shown.
    EXPECT_TRUE(QTest::qWaitForWindowActive(form.get()));
    return form;
}

// A key pressed and released where the focus is.
inline void KeyToFocus(int key, Qt::KeyboardModifiers modifiers = {}) {
    QWidget* to = QApplication::focusWidget();
    ASSERT_NE(to, nullptr);
    QTest::keyClick(to, static_cast<Qt::Key>(key), modifiers);
}

}  // namespace test_support
