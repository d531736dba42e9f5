#include "catalogue/catalogue_line.h"

namespace catalogue {

LineKind SplitLine(std::string_view line, LineFields& out) {
    std::string_view* fields[4] = {&out.name, &out.address, &out.category, &out.language};
    std::size_t start = 0;
    for (int i = 0; i < 4; ++i) {
        std::size_t bar = line.find('|', start);
        if (bar == std::string_view::npos) {
            if (i == 0) return LineKind::NotChannel;
            if (i < 3) return LineKind::Malformed;
            *fields[3] = line.substr(start);  // the last field runs to the end of the line
            return LineKind::Channel;
        }
        *fields[i] = line.substr(start, bar - start);
        start = bar + 1;
    }
    // Four separators or more: the fourth field ended at the fourth "|"; the rest is ignored.
    return LineKind::Channel;
}

std::string JoinLine(std::string_view name, std::string_view address, std::string_view category,
                     std::string_view language) {
    std::string line;
    line.reserve(name.size() + address.size() + category.size() + language.size() + 3);
    line.append(name).append(1, '|').append(address).append(1, '|');
    line.append(category).append(1, '|').append(language);
    return line;
}

}  // namespace catalogue
