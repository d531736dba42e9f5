#pragma once
// The private-label profile: every name that identifies the seller, and the switches that
// differ between sellers. The names come from the program's version information, so one
// build is re-labelled by its version record alone.
#include <cstdint>
#include <string>

namespace modPrivateLabel {

inline std::string ProgramName;
inline std::string CompanyName;
inline std::string WebsiteName;
inline std::int16_t ProductNumber = 0;
inline bool SkinEnabled = false;
inline bool UseSplashIcon = false;
inline bool ShowBanner = false;
// Shows the main window's "Languages" menu, which the design keeps hidden.
inline bool ShowLanguagesMenu = false;
inline std::string BannerAddress;

// Host (and port) of the catalogue update pages and the language download folder, fixed in
// the build.
inline std::string UpdateHost;

// The page that the web-site launcher opens next: "Website", "Sports" or "Extras".
inline std::string WebTarget;

// The company whose build shows the extra category buttons.
inline constexpr const char* kResellerCompany = "Orvane Software";
// Path of the banner page on the seller's web site.
inline constexpr const char* kBannerPath = "/viewerbanner.html";

// Fills the profile from the application's version information. Every call sets every field
// again, so a second call changes nothing.
void LoadPrivateLabel();

// True when the version information names the reseller, compared exactly.
bool IsResellerBuild();

}  // namespace modPrivateLabel
