#pragma once
// The composition root of the windows: the splash window first; when its time is up the main
// window is made, loaded, centred and shown and the splash hides; when the main window unloads,
// the splash goes with it. Neither window knows the other.
#include <QObject>
#include <QPointer>
#include <QString>
#include <memory>
#include <optional>

class Form1;

// Removes what writes cut short by a kill left behind (temporary files over a minute old) from
// every folder the program writes: the program folder, the user's data folder and the
// settings folder.
void RemoveLeftoverTemporaries();
// The code page of the program's files: the user's setting, else the system's.
void ChooseCodePage();
class frmSplash;

class StartUp : public QObject {
    Q_OBJECT
public:
    // `splash` is not owned; it may be deleted (closed with WA_DeleteOnClose) at any time.
    explicit StartUp(frmSplash* splash, QObject* parent = nullptr);
    ~StartUp() override;

    Form1* mainWindow() const { return m_form1.get(); }

    // A second start handed over its command line: the main window comes to the front and
    // plays what was named; before the main window is up, once it is.
    void takeHandOver(const QString& media);
    // True once the main window's start-up ended the program (another instance runs).
    bool endedAtStart() const { return m_endedAtStart; }

signals:
    void handedOver();  // the main window has been loaded and shown

private:
    void openMainWindow();

    QPointer<frmSplash> m_splash;
    std::unique_ptr<Form1> m_form1;
    bool m_endedAtStart = false;
    std::optional<QString> m_pendingHandOver;
};
