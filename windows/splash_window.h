#pragma once
// The start-up window: shows the splash picture for 75 ticks of its timer, fills the
// private-label profile, starts the skin when it is on, then says its time is up. Whoever
// composes the program (app/startup) opens the main window then and hides the splash; the
// splash stays loaded, hidden, until the main window closes.
#include <QPointer>
#include <QWidget>
#include <cstdint>

#include "widgets/coarse_timer.h"

class QLabel;

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

    // True when "chkSplash" asked for no splash picture.
    bool hiddenByChoice() const { return m_hiddenByChoice; }

    QLabel* Image1 = nullptr;

signals:
    void timeUp();  // the 75th tick: the main window may open now

private:
    CoarseTimer m_timer2;
    bool m_hiddenByChoice = false;
};
