#include <gtest/gtest.h>

#include <QFontMetrics>
#include <QHBoxLayout>
#include <QPushButton>
#include <QWidget>

#include "widgets/elided_label.h"

// A status line in a bar: a long message ends with "…" where the bar ends, keeps its whole
// text for whoever reads it, and comes back whole when the bar is wide enough.
TEST(ElidedLabel, ALongTextEndsWithAnEllipsisWithinItsWidthAndComesBackWholeWhenThereIsRoom) {
    QWidget bar;
    auto* row = new QHBoxLayout(&bar);
    auto* button = new QPushButton(QStringLiteral("Play"), &bar);
    auto* label = new ElidedLabel(&bar);
    row->addWidget(button);
    row->addWidget(label, 1);
    const QString message = QStringLiteral("The server's name could not be found (unknown host).");
    label->setText(message);
    const int full = label->fontMetrics().horizontalAdvance(message);

    bar.resize(button->sizeHint().width() + full / 2, 30);
    bar.show();
    ASSERT_LT(label->contentsRect().width(), full) << "the layout let the label shrink below its text";
    const QString shown = label->shownText();
    EXPECT_TRUE(shown.endsWith(QStringLiteral("…"))) << shown.toStdString();
    EXPECT_TRUE(message.startsWith(shown.chopped(1))) << shown.toStdString();
    EXPECT_LE(label->fontMetrics().horizontalAdvance(shown), label->contentsRect().width());
    EXPECT_EQ(label->text(), message) << "the text itself is whole";

    bar.resize(button->sizeHint().width() + full + 100, 30);
    EXPECT_EQ(label->shownText(), message);

    // Too narrow even for a word: the layout still gets its way, the text is only the ellipsis.
    EXPECT_LT(label->minimumSizeHint().width(), full / 4);
}

TEST(ElidedLabel, ALineBreakIsDrawnAsASpaceOnTheOneLine) {
    ElidedLabel label;
    label.setText(QStringLiteral("Radio One\nNow: a song"));
    label.resize(2000, 30);
    EXPECT_EQ(label.shownText(), QStringLiteral("Radio One Now: a song"));
}
