// libFuzzer target: any bytes as the radio directory's answer. Reading never fails on them;
// what is kept of a station can be played, shown as a row and written as a favourites line;
// the JSON reader agrees with itself on where a document ends.
#include <cstdint>
#include <string>
#include <string_view>

#include "base/json_reader.h"
#include "fuzz_check.h"
#include "services/radio_directory.h"

namespace {

class Counter : public json::Handler {
public:
    int depth = 0, open = 0;
    void beginObject(int d) override { enter(d); }
    void endObject(int d) override { leave(d); }
    void beginArray(int d) override { enter(d); }
    void endArray(int d) override { leave(d); }
    void key(int d, std::string_view) override { FUZZ_CHECK(d == depth); }
    void string(int d, std::string_view) override { FUZZ_CHECK(d <= depth); }
    void number(int d, std::string_view n) override { FUZZ_CHECK(d <= depth && !n.empty()); }
    void boolean(int d, bool) override { FUZZ_CHECK(d <= depth); }
    void null(int d) override { FUZZ_CHECK(d <= depth); }

private:
    void enter(int d) {
        FUZZ_CHECK(d == open && d < json::kMaxDepth);
        depth = d + 1;
        ++open;
    }
    void leave(int d) {
        --open;
        FUZZ_CHECK(d == open);
        depth = d;
    }
};

bool Clean(const std::string& field) {
    for (const char c : field)
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7F || c == '|') return false;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    Counter counter;
    const json::Result read = json::Read(text, counter);
    if (read.ok) FUZZ_CHECK(counter.open == 0);
    if (!read.ok) FUZZ_CHECK(read.offset <= size && !read.problem.empty());

    std::string problem;
    for (const radio_directory::Station& s : radio_directory::ReadStations(text, &problem)) {
        FUZZ_CHECK(read.ok && problem.empty());
        FUZZ_CHECK(!s.uuid.empty() && !s.name.empty());
        std::string scheme = s.address.substr(0, 8);
        for (char& c : scheme) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c + 32 : c);
        FUZZ_CHECK(scheme.rfind("http://", 0) == 0 || scheme == "https://");  // only the web is played
        for (const std::string* field : {&s.name, &s.address, &s.logo, &s.country, &s.language, &s.codec})
            FUZZ_CHECK(Clean(*field));
        for (const unsigned char c : s.address) FUZZ_CHECK(c < 0x80);  // passes the code page unchanged
    }
    if (!read.ok) FUZZ_CHECK(!problem.empty());
    FUZZ_CHECK(radio_directory::ReadStations(text, &problem, 3).size() <= 3);  // no more than the page asked
    radio_directory::Lists lists;
    lists.countries = radio_directory::ReadNames(text, &problem);
    for (const radio_directory::Named& n : lists.countries) FUZZ_CHECK(!n.name.empty() && Clean(n.name));
    const auto again = radio_directory::ReadLists(radio_directory::WriteLists(lists));
    FUZZ_CHECK(again && again->countries.size() == lists.countries.size());
    return 0;
}
