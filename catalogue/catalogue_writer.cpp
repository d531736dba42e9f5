#include "catalogue/catalogue_writer.h"

#include "catalogue/catalogue_line.h"
#include "catalogue/codec.h"

#include <stdexcept>

#include "base/text.h"

namespace catalogue {

void AppendEncodedLine(std::string& out, std::string_view name, std::string_view address, std::string_view category,
                       std::string_view language) {
    // The joined line is built in place at the end of `out` and encoded there: no copies.
    // Control bytes never reach a stored line: some would come out of the codec as a line
    // break and split the entry on the next read.
    const std::size_t length = name.size() + address.size() + category.size() + language.size() + 3;
    if (length > modGenDec::kMaxLineLength) throw std::overflow_error("Overflow");
    const std::size_t at = out.size();
    text::AppendWithoutControlBytes(out, name);
    out.push_back('|');
    text::AppendWithoutControlBytes(out, address);
    out.push_back('|');
    text::AppendWithoutControlBytes(out, category);
    out.push_back('|');
    text::AppendWithoutControlBytes(out, language);
    modGenDec::EncodeInPlace(out.data() + at, out.size() - at);
    out += "\r\n";
}

}  // namespace catalogue
