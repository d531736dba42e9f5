#include "catalogue/channel_extras.h"

#include "base/file_io.h"
#include "base/program_files.h"
#include "base/text.h"
#include "base/windows1252.h"

namespace catalogue {

namespace {
constexpr std::uintmax_t kMaxExtrasBytes = std::uintmax_t{64} << 20;
}  // namespace

std::string WriteExtras(const ExtrasMap& extras) {
    std::string out;
    for (const auto& [address, e] : extras) {
        if (address.empty() || e.empty()) continue;
        // Each field on one line without tabs: control bytes go, a tab becomes a space.
        out += text::WithoutControlBytes(address) + '\t' + text::WithoutControlBytes(e.logo) + '\t' +
               text::WithoutControlBytes(e.number) + '\t' + text::WithoutControlBytes(e.group);
        const bool archive = !e.catchup.empty();
        if (!e.options.empty() || !e.name.empty() || !e.language.empty() || archive)
            out += '\t' + text::WithoutControlBytes(e.options);
        if (!e.name.empty() || !e.language.empty() || archive)
            out += '\t' + text::WithoutControlBytes(e.name) + '\t' + text::WithoutControlBytes(e.language);
        if (archive) out += '\t' + text::WithoutControlBytes(e.catchup);
        out += '\n';
    }
    return out;
}

ExtrasMap ReadExtras(std::string_view bytes) {
    std::string converted;
    const std::string_view text =
        text::IsValidUtf8(bytes) ? bytes : std::string_view(converted = cp1252::ToUtf8(bytes));
    ExtrasMap extras;
    for (const std::string_view line : text::Split(text, '\n')) {
        const auto f = text::Split(line.substr(0, line.find('\r')), '\t');
        if ((f.size() < 4 || f.size() > 8 || f.size() == 6) || f[0].empty()) continue;
        auto field = [&](std::size_t i) { return i < f.size() ? std::string(f[i]) : std::string(); };
        ChannelExtras e{field(1), field(2), field(3), field(4), {}, field(5), field(6), field(7)};
        if (!e.empty()) extras[std::string(f[0])] = std::move(e);
    }
    return extras;
}

std::filesystem::path ExtrasPath() { return program_files::UserDataFolder() / "ChannelExtras.txt"; }

ExtrasMap LoadExtras() {
    const auto text = base::ReadFileCapped(ExtrasPath(), kMaxExtrasBytes);
    return text ? ReadExtras(*text) : ExtrasMap{};
}

bool SaveExtras(const ExtrasMap& extras) {
    std::error_code ec;
    std::filesystem::create_directories(ExtrasPath().parent_path(), ec);
    return bool(base::ReplaceFileAtomically(ExtrasPath(), WriteExtras(extras)));
}

}  // namespace catalogue
