#include "appearance/private_label.h"

#include "services/app.h"

namespace modPrivateLabel {

void LoadPrivateLabel() {
    const AppInfo& info = App::Info();
    ProgramName = info.productName;
    CompanyName = info.companyName;
    WebsiteName = info.comments;
    ProductNumber = 0;
    SkinEnabled = false;
    UseSplashIcon = true;
    ShowBanner = false;
    BannerAddress = "http://" + info.comments + kBannerPath;
}

bool IsResellerBuild() { return App::Info().companyName == kResellerCompany; }

}  // namespace modPrivateLabel
