#include "app/command_line.h"

#include <QCommandLineParser>
#include <QFileInfo>
#include <QUrl>

CommandLine ParseCommandLine(const QStringList& arguments, const QString& productName, const QString& version) {
    CommandLine out;
    QCommandLineParser parser;
    parser.setApplicationDescription(
        productName + QStringLiteral(": internet TV, radio and video streams.\n\n"
                                     "A playlist file (.m3u, .m3u8, .pls) is imported into the favourites; any other "
                                     "file or address plays. When the viewer is running already, the address or file "
                                     "is handed over to its window and no second window opens."));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Shows this help and ends."));
    const QCommandLineOption versionOption(QStringList{QStringLiteral("v"), QStringLiteral("version")},
                                           QStringLiteral("Shows the version and ends."));
    const QCommandLineOption language(QStringLiteral("language"),
                                      QStringLiteral("Uses the language NAME (as the language window lists it) "
                                                     "from now on."),
                                      QStringLiteral("NAME"));
    parser.addOption(help);
    parser.addOption(versionOption);
    parser.addOption(language);
    parser.addPositionalArgument(QStringLiteral("address"),
                                 QStringLiteral("A stream address or a media file to play once the window is up."),
                                 QStringLiteral("[address | file]"));

    if (!parser.parse(arguments)) {
        out.exit = true;
        out.exitCode = 2;
        out.errors = parser.errorText() + QStringLiteral("\n") +
                     QStringLiteral("Try '%1 --help'.\n").arg(QFileInfo(arguments.value(0)).fileName());
        return out;
    }
    if (parser.isSet(help)) {
        out.exit = true;
        // The usage line names the program as it was started (Qt's own names the running
        // application object, which does not exist yet when the program reads its command line).
        const QString text = parser.helpText();
        out.output =
            QStringLiteral("Usage: %1 [options] [address | file]").arg(QFileInfo(arguments.value(0)).fileName()) +
            text.mid(text.indexOf(QLatin1Char('\n')));
        return out;
    }
    if (parser.isSet(versionOption)) {
        out.exit = true;
        out.output = productName + QLatin1Char(' ') + version + QLatin1Char('\n');
        return out;
    }
    const QStringList positional = parser.positionalArguments();
    if (positional.size() > 1) {
        out.exit = true;
        out.exitCode = 2;
        out.errors = QStringLiteral("Only one address or file can be played.\n");
        return out;
    }
    out.language = parser.value(language);
    if (!positional.isEmpty()) {
        const QString& given = positional.front();
        // A file named on the command line plays by its full path; anything else is an address.
        const QFileInfo file(given);
        out.media = QUrl(given).scheme().size() > 1 || !file.exists() ? given : file.absoluteFilePath();
    }
    return out;
}
