#include <gtest/gtest.h>

#include <filesystem>

#include "base/app.h"
#include "base/private_label.h"

namespace {
class PrivateLabel : public ::testing::Test {
protected:
    void SetUp() override { m_saved = App::Info(); }
    void TearDown() override { App::Configure(m_saved); }
    void Use(const char* product, const char* company, const char* comments) {
        AppInfo info = App::BuildInfo();
        info.productName = product;
        info.companyName = company;
        info.comments = comments;
        App::Configure(info);
    }

private:
    AppInfo m_saved;
};
}  // namespace

TEST_F(PrivateLabel, BuildRecordsTheMarluLabelAndVersion) {
    const AppInfo info = App::BuildInfo();
    EXPECT_EQ(info.productName, "Marlu Viewer");
    EXPECT_EQ(info.companyName, "Marlu");
    EXPECT_FALSE(info.comments.empty());
    EXPECT_EQ(info.major, 1);
    EXPECT_EQ(info.minor, 1);
    EXPECT_EQ(info.revision, 0);
}

TEST_F(PrivateLabel, FillsTheProfileFromTheVersionRecord) {
    Use("Marlu Viewer", "Marlu", "www.example.test");
    modPrivateLabel::LoadPrivateLabel();
    EXPECT_EQ(modPrivateLabel::ProgramName, "Marlu Viewer");
    EXPECT_EQ(modPrivateLabel::CompanyName, "Marlu");
    EXPECT_EQ(modPrivateLabel::WebsiteName, "www.example.test");
    EXPECT_EQ(modPrivateLabel::ProductNumber, 0);
    EXPECT_FALSE(modPrivateLabel::SkinEnabled);
    EXPECT_TRUE(modPrivateLabel::UseSplashIcon);
    EXPECT_FALSE(modPrivateLabel::ShowBanner);
    EXPECT_EQ(modPrivateLabel::BannerAddress, "http://www.example.test/viewerbanner.html");
}

TEST_F(PrivateLabel, SecondFillChangesNothing) {
    Use("P", "C", "w");
    modPrivateLabel::LoadPrivateLabel();
    modPrivateLabel::SkinEnabled = true;  // whatever happened in between
    modPrivateLabel::LoadPrivateLabel();
    EXPECT_EQ(modPrivateLabel::ProgramName, "P");
    EXPECT_FALSE(modPrivateLabel::SkinEnabled);
}

TEST_F(PrivateLabel, ResellerTestIsExactAndCaseSensitive) {
    Use("P", "Orvane Software", "");
    EXPECT_TRUE(modPrivateLabel::IsResellerBuild());
    Use("P", "orvane software", "");
    EXPECT_FALSE(modPrivateLabel::IsResellerBuild());
    Use("P", "Orvane Software ", "");
    EXPECT_FALSE(modPrivateLabel::IsResellerBuild());
}

TEST(ApplicationObject, TheProgramFolderIsTheExecutablesFolder) {
    const auto folder = App::ExecutableFolder();
    EXPECT_TRUE(std::filesystem::exists(folder / "core_tests") || std::filesystem::exists(folder / "core_tests.exe"));
}

#ifdef _WIN32
TEST(ApplicationObject, TheVersionResourceHoldsTheBuildsRecord) {
    const AppInfo fromResource = App::ModuleVersionInfo();
    const AppInfo built = App::BuildInfo();
    EXPECT_EQ(fromResource.productName, built.productName);
    EXPECT_EQ(fromResource.companyName, built.companyName);
    EXPECT_EQ(fromResource.comments, built.comments);
    EXPECT_EQ(fromResource.major, 1);
    EXPECT_EQ(fromResource.minor, 1);
}
#endif
