// Header clicks on the channel and favourites lists.
#include "catalogue/favorites.h"
#include "widgets/list_view_enh.h"
#include "windows/main_window_fixture.h"

TEST_F(MainWindow, TwoClicksOnAHeaderGiveTheTwoOppositeOrders) {
    Form1& f = Start();
    f.ListView1_ColumnClick(1);
    EXPECT_EQ(Column(f.ListView1, 0), (std::vector<std::string>{"Alpha TV", "Beta TV", "Zeta News"}));
    EXPECT_TRUE(f.ListView1->sorted());
    EXPECT_EQ(f.ListView1->sortOrder(), 0);
    f.ListView1_ColumnClick(1);
    EXPECT_EQ(Column(f.ListView1, 0), (std::vector<std::string>{"Zeta News", "Beta TV", "Alpha TV"}));
}

TEST_F(MainWindow, TheDirectionTogglesWhicheverColumnIsClicked) {
    Form1& f = Start();
    f.ListView1_ColumnClick(1);  // names ascending
    f.ListView1_ColumnClick(1);  // names descending
    f.ListView1_ColumnClick(3);  // then Type: ascending, letter case ignored
    EXPECT_EQ(f.ListView1->sortKey(), 2);
    EXPECT_EQ(f.ListView1->sortOrder(), 0);
    const auto types = Column(f.ListView1, 2);  // "English" and "ENGLISH" are equal here
    ASSERT_EQ(types.size(), 3u);
    EXPECT_EQ(QString::fromStdString(types[0]).toLower(), QStringLiteral("english"));
    EXPECT_EQ(QString::fromStdString(types[1]).toLower(), QStringLiteral("english"));
    EXPECT_EQ(types[2], "English/Spanish");
}

TEST_F(MainWindow, ASortedListStaysSortedAcrossCategoryChanges) {
    Form1& f = Start();
    f.ListView1_ColumnClick(1);
    f.cmdRadio_Click();
    f.cmdTV_Click();
    EXPECT_EQ(Column(f.ListView1, 0), (std::vector<std::string>{"Alpha TV", "Beta TV", "Zeta News"}));
}

TEST_F(MainWindow, HeaderClickOnAnEmptyListChangesNothing) {
    Form1& f = Start();
    EXPECT_TRUE(modListViewEnh::EnhListView_SortColumns(f.ListView2, 1));
    EXPECT_FALSE(f.ListView2->sorted());
    EXPECT_EQ(f.ListView2->sortOrder(), 1);
    EXPECT_FALSE(modListViewEnh::EnhListView_SortColumns(f.ListView1, 9));  // no such column
}

TEST_F(MainWindow, NewFavouritesTakeTheirSortedPlaceAndTheFileFollowsTheList) {
    Form1& f = Start();
    for (int row : {0, 1}) {  // Zeta News, Alpha TV
        f.ListView1->selectRow(row);
        f.cmdFav_Click();
    }
    f.ListView2_ColumnClick(1);
    EXPECT_EQ(Column(f.ListView2, 0), (std::vector<std::string>{"Alpha TV", "Zeta News"}));
    f.ListView1->selectRow(2);  // Beta TV
    f.cmdFav_Click();
    EXPECT_EQ(Column(f.ListView2, 0), (std::vector<std::string>{"Alpha TV", "Beta TV", "Zeta News"}));
    std::vector<std::string> inFile;
    for (const auto& c : catalogue::ParseFavorites(program.read("Favorites.txt"))) inFile.push_back(c.name);
    EXPECT_EQ(inFile, (std::vector<std::string>{"Alpha TV", "Beta TV", "Zeta News"}));
}
