#include "catalogue/catalogue_writer.h"

#include "catalogue/catalogue_line.h"
#include "catalogue/codec.h"

#include <stdexcept>

namespace catalogue {

void AppendEncodedLine(std::string& out, std::string_view name, std::string_view address, std::string_view category,
                       std::string_view language) {
    // The joined line is built in place at the end of `out` and encoded there: no copies.
    const std::size_t length = name.size() + address.size() + category.size() + language.size() + 3;
    if (length > modGenDec::kMaxLineLength) throw std::overflow_error("Overflow");
    const std::size_t at = out.size();
    out.append(name).append(1, '|').append(address).append(1, '|');
    out.append(category).append(1, '|').append(language);
    modGenDec::EncodeInPlace(out.data() + at, length);
    out += "\r\n";
}

void AppendEncodedLines(std::string& out, const std::vector<LineFields>& lines) {
    std::size_t bytes = out.size();
    for (const LineFields& f : lines)
        bytes += f.name.size() + f.address.size() + f.category.size() + f.language.size() + 5;
    out.reserve(bytes);
    for (const LineFields& f : lines) AppendEncodedLine(out, f.name, f.address, f.category, f.language);
}

}  // namespace catalogue
