#include "services/app.h"

#include "version_info.h"

namespace App {
namespace {
AppInfo& Current() {
    static AppInfo info = BuildInfo();
    return info;
}
}  // namespace

AppInfo BuildInfo() {
    AppInfo info;
    info.productName = version_info::kProductName;
    info.companyName = version_info::kCompanyName;
    info.comments = version_info::kComments;
    info.major = version_info::kMajor;
    info.minor = version_info::kMinor;
    info.revision = version_info::kRevision;
    return info;
}

void Configure(AppInfo info) { Current() = std::move(info); }
const AppInfo& Info() { return Current(); }

std::filesystem::path ProgramFile(const std::string& fileName) { return Current().path / fileName; }

}  // namespace App
