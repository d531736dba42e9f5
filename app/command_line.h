#pragma once
// The program's command line:
//   MarluViewerFull [--language NAME] [ADDRESS | FILE]
//   MarluViewerFull --help | --version
// Read before any window exists, so --help and --version work without a display.
#include <QString>
#include <QStringList>

struct CommandLine {
    bool exit = false;  // end at once with exitCode, after printing `output` and `errors`
    int exitCode = 0;   // 0 for --help and --version, 2 for a command line that cannot be read
    QString output;     // for standard output
    QString errors;     // for standard error
    QString language;   // --language: applied and saved
    QString media;      // a stream address, or a media file made absolute, to play once the window is up
};

// Reads `arguments` (the program's name first). `version` is printed by --version.
CommandLine ParseCommandLine(const QStringList& arguments, const QString& productName, const QString& version);
