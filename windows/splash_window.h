#pragma once
// The start-up window: shows the splash picture for 75 ticks of its timer, fills the
// private-label profile, starts the skin when it is on, then opens the main window and hides
// itself. It stays loaded, hidden, until the main window closes.
#include <QPointer>
#include <QWidget>
#include <cstdint>
#include <memory>

#include "widgets/coarse_timer.h"

class QLabel;
class Form1;

class frmSplash : public QWidget {
    Q_OBJECT
public:
    explicit frmSplash(QWidget* parent = nullptr);
    ~frmSplash() override;

    // Runs the load handler; throws VbError when "chkSplash" cannot be read as text.
    void Form_Load();
    void Timer2_Timer();

    bool timerEnabled() const { return m_timer2.isEnabled(); }
    std::int16_t intTemp = 0;
    Form1* mainWindow() const { return m_form1.get(); }
    // True once the main window's start-up ended the program (another instance runs).
    bool endedAtStart() const { return m_endedAtStart; }

    // True when "chkSplash" asked for no splash picture.
    bool hiddenByChoice() const { return m_hiddenByChoice; }

    static frmSplash* Loaded();

    QLabel* Image1 = nullptr;

signals:
    void handedOver();  // the main window has been loaded and shown

private:
    CoarseTimer m_timer2;
    std::unique_ptr<Form1> m_form1;
    bool m_endedAtStart = false;
    bool m_hiddenByChoice = false;
};
