#include "catalogue/catalogue_writer.h"

#include "catalogue/catalogue_line.h"
#include "catalogue/codec.h"

namespace catalogue {

void AppendEncodedLine(std::string& out, std::string_view name, std::string_view address, std::string_view category,
                       std::string_view language) {
    out += modGenDec::EncodeLine(JoinLine(name, address, category, language));
    out += "\r\n";
}

}  // namespace catalogue
