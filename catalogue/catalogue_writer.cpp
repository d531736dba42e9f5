#include "catalogue/catalogue_writer.h"

#include "catalogue/catalogue_line.h"
#include "catalogue/codec.h"

#include <stdexcept>

namespace catalogue {
namespace {

// A field as a stored line holds it: every text byte (tab, 32..255) as it is; a line break
// becomes a space and any other control byte goes, as some would come out of the codec as a
// line break and split the entry on the next read.
void AppendLineText(std::string& out, std::string_view field) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(field.data());
    std::size_t clean = 0;
    while (clean < field.size() && (bytes[clean] >= 0x20 || bytes[clean] == '\t')) ++clean;
    if (clean == field.size()) {
        out.append(field);  // the usual case, in one piece
        return;
    }
    for (const char c : field) {
        const auto b = static_cast<unsigned char>(c);
        if (b >= 0x20 || b == '\t')
            out.push_back(c);
        else if (b == '\r' || b == '\n')
            out.push_back(' ');
    }
}

}  // namespace

void AppendEncodedLine(std::string& out, std::string_view name, std::string_view address, std::string_view category,
                       std::string_view language) {
    // The joined line is built in place at the end of `out` and encoded there: no copies.
    const std::size_t length = name.size() + address.size() + category.size() + language.size() + 3;
    if (length > modGenDec::kMaxLineLength) throw std::overflow_error("Overflow");
    const std::size_t at = out.size();
    AppendLineText(out, name);
    out.push_back('|');
    AppendLineText(out, address);
    out.push_back('|');
    AppendLineText(out, category);
    out.push_back('|');
    AppendLineText(out, language);
    modGenDec::EncodeInPlace(out.data() + at, out.size() - at);
    out += "\r\n";
}

}  // namespace catalogue
