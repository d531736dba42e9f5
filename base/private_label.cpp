#include "base/private_label.h"

#include "base/app.h"
#include "version_info.h"

namespace modPrivateLabel {

void LoadPrivateLabel() {
    const AppInfo& info = App::Info();
    ProgramName = info.productName;
    CompanyName = info.companyName;
    WebsiteName = info.comments;
    ProductNumber = 0;
    SkinEnabled = version_info::kSkinEnabled;
    UseSplashIcon = true;
    ShowBanner = version_info::kShowBanner;
    ShowLanguagesMenu = version_info::kShowLanguagesMenu;
    BannerAddress = "http://" + info.comments + kBannerPath;
    UpdateHost = version_info::kUpdateHost;
}

bool IsResellerBuild() { return App::Info().companyName == kResellerCompany; }

}  // namespace modPrivateLabel
