// The command line, read before any window exists.
#include <gtest/gtest.h>

#include <QDir>

#include "app/command_line.h"
#include "support/temp_dir.h"

namespace {
CommandLine Parse(QStringList rest) {
    rest.prepend(QStringLiteral("/opt/marlu/MarluViewerFull"));
    return ParseCommandLine(rest, QStringLiteral("Marlu Viewer"), QStringLiteral("1.1.0"));
}
}  // namespace

TEST(CommandLine, HelpAndVersionPrintAndEndWithSuccess) {
    const CommandLine help = Parse({QStringLiteral("--help")});
    EXPECT_TRUE(help.exit);
    EXPECT_EQ(help.exitCode, 0);
    EXPECT_TRUE(help.output.startsWith(QStringLiteral("Usage: MarluViewerFull [options]")));
    EXPECT_TRUE(help.output.contains(QStringLiteral("--language <NAME>")));
    EXPECT_TRUE(help.output.contains(QStringLiteral("--version")));
    EXPECT_TRUE(help.output.contains(QStringLiteral("imported into the favourites")));
    EXPECT_TRUE(help.output.contains(QStringLiteral("handed over to its window")));
    const CommandLine version = Parse({QStringLiteral("--version")});
    EXPECT_TRUE(version.exit);
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.output, QStringLiteral("Marlu Viewer 1.1.0\n"));
    EXPECT_TRUE(version.errors.isEmpty());
}

TEST(CommandLine, UnknownOptionsAndExtraArgumentsEndWithCodeTwoAndAWordOnStandardError) {
    for (const QStringList& bad :
         {QStringList{QStringLiteral("--fullscreen")}, QStringList{QStringLiteral("-x")},
          QStringList{QStringLiteral("--language")}, QStringList{QStringLiteral("a.ts"), QStringLiteral("b.ts")}}) {
        const CommandLine c = Parse(bad);
        EXPECT_TRUE(c.exit) << bad.join(QLatin1Char(' ')).toStdString();
        EXPECT_EQ(c.exitCode, 2) << bad.join(QLatin1Char(' ')).toStdString();
        EXPECT_FALSE(c.errors.isEmpty());
        EXPECT_TRUE(c.output.isEmpty());
    }
}

TEST(CommandLine, AnAddressPlaysAsGivenAndAFileByItsFullPath) {
    const CommandLine none = Parse({});
    EXPECT_FALSE(none.exit);
    EXPECT_TRUE(none.media.isEmpty());
    EXPECT_EQ(Parse({QStringLiteral("http://127.0.0.1:8080/live.m3u8")}).media,
              QStringLiteral("http://127.0.0.1:8080/live.m3u8"));
    TempDir dir;
    dir.write("clip.ts", "x");
    const QString old = QDir::currentPath();
    QDir::setCurrent(QString::fromStdString(dir.path().string()));
    const CommandLine file =
        Parse({QStringLiteral("clip.ts"), QStringLiteral("--language"), QStringLiteral("Deutsch")});
    QDir::setCurrent(old);
    EXPECT_FALSE(file.exit);
    EXPECT_EQ(file.media, QString::fromStdString((dir / "clip.ts").string()));
    EXPECT_EQ(file.language, QStringLiteral("Deutsch"));
}
