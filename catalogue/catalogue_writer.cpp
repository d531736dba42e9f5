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

}  // namespace catalogue
