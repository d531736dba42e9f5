#pragma once
// Hands a document or an address to the system: the help document to its viewer, a web
// address to the browser. Tests replace the hand-over with a recorder.
#include <QObject>
#include <QString>
#include <functional>

namespace shell {

// True when the system took the target (always, with a test opener).
bool Open(const QString& target);
void SetOpenerForTests(std::function<void(const QString&)> opener);  // empty: the system again
void SetOpenFailsForTests(bool fails);                               // true: nothing opens anything

// Whether the system has a program for a file of this kind (on Windows always: the shell says
// so only by trying; elsewhere the desktop's default application for the file's type), without
// waiting for the answer: `done` hears it from the event loop, as long as `context` lives. The
// desktop's answer comes from another program (xdg-mime), 3 s at most.
void CanOpenLater(const QString& file, QObject* context, std::function<void(bool)> done);
void SetCanOpenForTests(std::function<bool(const QString&)> canOpen);  // empty: the system again

}  // namespace shell
