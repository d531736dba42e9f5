#include <gtest/gtest.h>

#include <QDialog>
#include <QWidget>

#include "widgets/gui_resources.h"
#include "widgets/window_icon.h"

TEST(WindowIcon, AaaResourceHoldsTheLargePictures) {
    InitGuiResources();
    const QIcon icon = modIcon::LoadIconResource(QStringLiteral("AAA"));
    const auto sizes = icon.availableSizes();
    EXPECT_TRUE(sizes.contains(QSize(128, 128)));
    EXPECT_TRUE(sizes.contains(QSize(64, 64)));
    EXPECT_TRUE(modIcon::LoadIconResource(QStringLiteral("NOPE")).isNull());
}

TEST(WindowIcon, OwnerFlagDecidesWhetherTheOwnerGetsTheIconToo) {
    InitGuiResources();
    QWidget owner;
    auto* window = new QDialog(&owner);  // a top-level window owned by `owner`
    modIcon::SetIcon(window, QStringLiteral("AAA"), false);
    EXPECT_FALSE(window->windowIcon().isNull());
    EXPECT_TRUE(owner.windowIcon().availableSizes().isEmpty());
    modIcon::SetIcon(window, QStringLiteral("AAA"), true);
    EXPECT_TRUE(owner.windowIcon().availableSizes().contains(QSize(128, 128)));
}
