#pragma once
// The two invisible launcher windows: Form8 opens the help document beside the program,
// frmWebsite opens the seller's web site; both do all their work while they load.
#include <QPointer>
#include <QWidget>
#include <functional>
#include <string>

#include "widgets/coarse_timer.h"

class Form8 : public QWidget {
    Q_OBJECT
public:
    explicit Form8(QWidget* parent = nullptr);
    void Form_Load();

    bool opened() const { return m_opened; }
    // How callers use the launcher: whether the desktop has a viewer for the compiled help is
    // asked in the background, then the launcher is loaded, shown, lets pending events run once
    // and is unloaded; `done` hears whether the help opened.
    static void RunLater(QObject* context, std::function<void(bool)> done);

    // The help beside the program: the compiled document, and the same pages as HTML for
    // systems with no viewer for it.
    static std::string CompiledHelp();
    static std::string HtmlHelp();
    // True when either form of the help lies beside the program.
    static bool HelpExists();

private:
    static bool Run(bool compiledHelpViewer);

    bool m_opened = false;
    bool m_compiledHelpViewer = false;  // the desktop's answer, known before the load
};

class frmWebsite : public QWidget {
    Q_OBJECT
public:
    explicit frmWebsite(QWidget* parent = nullptr);
    void Form_Load();
    void Timer1_Timer();

    // Loads the launcher unless it is still loaded from an earlier request (then nothing
    // happens, as loading a loaded window runs no load handler).
    static void Load();
    static bool IsLoaded();

    // The address that opening `websiteName` gives: "http://" added when neither "http://" nor
    // "https://" occurs in it (letter case ignored).
    static std::string AddressFor(const std::string& websiteName);

private:
    CoarseTimer m_timer1;
};
