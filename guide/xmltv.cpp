#include "guide/xmltv.h"

#include <expat.h>

#include <algorithm>
#include <cctype>
#include <cstring>

namespace guide {

std::string NormaliseName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        if (u >= 0x80)
            out += c;
        else if (std::isalnum(u))
            out += static_cast<char>(std::tolower(u));
    }
    for (const std::string_view suffix : {"uhd", "fhd", "hd", "sd"}) {
        if (out.size() > suffix.size() && out.compare(out.size() - suffix.size(), suffix.size(), suffix) == 0) {
            out.resize(out.size() - suffix.size());
            break;
        }
    }
    return out;
}

namespace {

std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

bool Digits(std::string_view s, std::size_t at, std::size_t count, int& out) {
    if (at + count > s.size()) return false;
    out = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (!std::isdigit(static_cast<unsigned char>(s[i]))) return false;
        out = out * 10 + (s[i] - '0');
    }
    return true;
}

}  // namespace

std::optional<std::int64_t> ParseTime(std::string_view text) {
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!Digits(text, 0, 4, year) || !Digits(text, 4, 2, month) || !Digits(text, 6, 2, day) ||
        !Digits(text, 8, 2, hour) || !Digits(text, 10, 2, minute))
        return std::nullopt;
    std::size_t at = 12;
    if (Digits(text, 12, 2, second)) at = 14;
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) return std::nullopt;
    std::int64_t offset = 0;
    while (at < text.size() && text[at] == ' ') ++at;
    if (at < text.size()) {
        const char sign = text[at];
        int zh = 0, zm = 0;
        if ((sign != '+' && sign != '-') || !Digits(text, at + 1, 2, zh) || !Digits(text, at + 3, 2, zm) || zh > 14 ||
            zm > 59)
            return std::nullopt;
        offset = (std::int64_t{zh} * 3600 + std::int64_t{zm} * 60) * (sign == '-' ? -1 : 1);
    }
    const std::int64_t days = DaysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    return days * 86400 + std::int64_t{hour} * 3600 + std::int64_t{minute} * 60 + second - offset;
}

const Schedule* GuideData::find(std::string_view tvgId, std::string_view name) const {
    auto channel = byId.end();
    if (!tvgId.empty()) channel = byId.find(std::string(tvgId));
    if (channel == byId.end()) {
        channel = byName.find(NormaliseName(name));
        if (channel == byName.end()) return nullptr;
    }
    const auto schedule = schedules.find(channel->second);
    return schedule == schedules.end() ? nullptr : &schedule->second;
}

NowNext Find(const Schedule& schedule, std::int64_t now) {
    NowNext out;
    // The programmes that started by `now`, the latest first; a few back cover overlaps.
    auto after = std::upper_bound(schedule.begin(), schedule.end(), now,
                                  [](std::int64_t t, const Programme& p) { return t < p.start; });
    for (auto it = after; it != schedule.begin() && after - it < 16;) {
        --it;
        if (it->stop > now || (it->stop == 0 && it + 1 == schedule.end())) {
            out.now = &*it;
            break;
        }
    }
    // Next is the first programme to start after this moment (one inserted into a longer
    // programme comes next, as it interrupts it).
    const auto next = std::upper_bound(schedule.begin(), schedule.end(), now,
                                       [](std::int64_t t, const Programme& p) { return t < p.start; });
    if (next != schedule.end() && &*next != out.now) out.next = &*next;
    return out;
}

void Settle(GuideData& data) {
    for (auto& [id, schedule] : data.schedules) {
        std::stable_sort(schedule.begin(), schedule.end(),
                         [](const Programme& a, const Programme& b) { return a.start < b.start; });
        // A start listed twice: the later entry of the guide holds.
        Schedule kept;
        kept.reserve(schedule.size());
        for (auto& p : schedule) {
            if (!kept.empty() && kept.back().start == p.start)
                kept.back() = std::move(p);
            else
                kept.push_back(std::move(p));
        }
        for (std::size_t i = 0; i + 1 < kept.size(); ++i)
            if (kept[i].stop <= kept[i].start) kept[i].stop = kept[i + 1].start;
        if (!kept.empty() && kept.back().stop <= kept.back().start) kept.back().stop = 0;
        schedule = std::move(kept);
    }
}

struct XmltvReader::State {
    Wanted wanted;
    XML_Parser parser = nullptr;
    std::string error;
    bool failed = false;
    GuideData data;
    std::map<std::string, bool> matched;  // guide channel id -> one of ours

    // Where the parser is.
    enum class In { Other, Channel, DisplayName, Programme, Title, Desc };
    In in = In::Other;
    std::string channelId;
    std::vector<std::string> displayNames;
    std::string text;
    Programme programme;
    bool programmeKept = false, titleTaken = false, descTaken = false;

    // Whether a guide channel is one of ours. Each of our keys (a tvg-id, a name) takes the
    // first guide channel that claims it, so the channels kept are never more than our keys,
    // however many channels of the guide share a name.
    bool match(const std::string& id) {
        if (const auto known = matched.find(id); known != matched.end()) return known->second;
        bool ours = false;
        const auto claim = [&](std::map<std::string, std::string>& keys, const std::string& key) {
            const auto [at, added] = keys.emplace(key, id);
            ours = ours || added || at->second == id;
        };
        if (wanted.ids.count(id)) claim(data.byId, id);
        const std::string norm = NormaliseName(id);
        if (!norm.empty() && wanted.names.count(norm)) claim(data.byName, norm);
        for (const auto& name : displayNames) {
            const std::string n = NormaliseName(name);
            if (!n.empty() && wanted.names.count(n)) claim(data.byName, n);
        }
        // What is known of foreign channels is remembered up to a limit, so a guide of millions
        // of channel ids cannot grow it without end (past it they are looked up again).
        if (ours || matched.size() < kMaxRemembered) matched[id] = ours;
        return ours;
    }

    static constexpr std::size_t kMaxRemembered = 100000;
    int depth = 0;                 // elements open now
    std::uint64_t events = 0;      // elements and text seen, for the quiet-bytes guard
    std::uint64_t quietBytes = 0;  // bytes fed since the last of them

    void appendText(const char* s, int len) {
        const std::size_t limit = in == In::Desc ? kMaxDescBytes : kMaxTitleBytes;
        const std::size_t room = limit - std::min(limit, text.size());
        text.append(s, std::min(room, static_cast<std::size_t>(len)));
    }
};

namespace {

const char* Attribute(const XML_Char** attributes, const char* name) {
    for (std::size_t i = 0; attributes[i]; i += 2)
        if (std::strcmp(attributes[i], name) == 0) return attributes[i + 1];
    return nullptr;
}

// The text cut at a whole UTF-8 character when the limit cut it.
void TrimUtf8(std::string& s, std::size_t limit = kMaxTitleBytes) {
    if (s.size() < limit) return;
    std::size_t end = s.size();
    while (end > 0 && (static_cast<unsigned char>(s[end - 1]) & 0xC0) == 0x80) --end;
    if (end > 0 && static_cast<unsigned char>(s[end - 1]) >= 0xC0) --end;
    s.resize(end);
}

void OnStart(void* user, const XML_Char* name, const XML_Char** attributes) {
    auto* s = static_cast<XmltvReader::State*>(user);
    ++s->events;
    // A guide is four levels deep (tv, programme, title, and a rare one below); the parser keeps
    // every open element, so a document nested without end would take memory without end.
    if (++s->depth > kMaxDepth) {
        s->error = "the guide nests its elements over " + std::to_string(kMaxDepth) + " levels deep";
        s->failed = true;
        XML_StopParser(s->parser, XML_FALSE);
        return;
    }
    using In = XmltvReader::State::In;
    if (std::strcmp(name, "channel") == 0 && s->in == In::Other) {
        const char* id = Attribute(attributes, "id");
        s->channelId = id ? id : "";
        s->displayNames.clear();
        s->in = In::Channel;
    } else if (std::strcmp(name, "display-name") == 0 && s->in == In::Channel) {
        s->text.clear();
        s->in = In::DisplayName;
    } else if (std::strcmp(name, "programme") == 0 && s->in == In::Other) {
        ++s->data.programmesSeen;
        s->in = In::Programme;
        s->titleTaken = false;
        s->descTaken = false;
        const char* channel = Attribute(attributes, "channel");
        const char* start = Attribute(attributes, "start");
        const char* stop = Attribute(attributes, "stop");
        const auto begins = start ? ParseTime(start) : std::nullopt;
        s->programmeKept = channel && begins && s->match(channel);
        if (s->programmeKept) {
            s->channelId = channel;
            s->programme = Programme{*begins, 0, {}, {}};
            if (const auto ends = stop ? ParseTime(stop) : std::nullopt; ends && *ends > *begins)
                s->programme.stop = *ends;
        }
    } else if (std::strcmp(name, "title") == 0 && s->in == In::Programme && s->programmeKept && !s->titleTaken) {
        s->text.clear();
        s->in = In::Title;
    } else if (std::strcmp(name, "desc") == 0 && s->in == In::Programme && s->programmeKept && !s->descTaken) {
        s->text.clear();
        s->in = In::Desc;
    }
}

void OnEnd(void* user, const XML_Char* name) {
    auto* s = static_cast<XmltvReader::State*>(user);
    ++s->events;
    --s->depth;
    using In = XmltvReader::State::In;
    if (s->in == In::DisplayName && std::strcmp(name, "display-name") == 0) {
        if (s->displayNames.size() < 16) s->displayNames.push_back(s->text);
        s->in = In::Channel;
    } else if (s->in == In::Channel && std::strcmp(name, "channel") == 0) {
        s->matched.erase(s->channelId);  // a declaration settles what a bare id guessed
        s->match(s->channelId);
        s->displayNames.clear();
        s->in = In::Other;
    } else if (s->in == In::Title && std::strcmp(name, "title") == 0) {
        TrimUtf8(s->text);
        s->programme.title = s->text;
        s->titleTaken = true;
        s->in = In::Programme;
    } else if (s->in == In::Desc && std::strcmp(name, "desc") == 0) {
        TrimUtf8(s->text, kMaxDescBytes);
        s->programme.desc = s->text;
        s->descTaken = true;
        s->in = In::Programme;
    } else if (s->in == In::Programme && std::strcmp(name, "programme") == 0) {
        if (s->programmeKept) {
            auto& schedule = s->data.schedules[s->channelId];
            if (schedule.size() < kMaxProgrammesPerChannel) schedule.push_back(std::move(s->programme));
        }
        s->programme = {};
        s->in = In::Other;
    }
}

void OnText(void* user, const XML_Char* text, int length) {
    auto* s = static_cast<XmltvReader::State*>(user);
    ++s->events;
    using In = XmltvReader::State::In;
    if (s->in == In::DisplayName || s->in == In::Title || s->in == In::Desc) s->appendText(text, length);
}

// A guide has no business declaring entities: refusing them closes the door on entity
// expansion attacks whatever the library's own limits.
void OnEntityDeclaration(void* user, const XML_Char*, int, const XML_Char*, int, const XML_Char*, const XML_Char*,
                         const XML_Char*, const XML_Char*) {
    auto* s = static_cast<XmltvReader::State*>(user);
    s->error = "the guide declares entities, which a programme guide never needs";
    s->failed = true;
    XML_StopParser(s->parser, XML_FALSE);
}

}  // namespace

XmltvReader::XmltvReader(Wanted wanted) : m_state(std::make_unique<State>()) {
    m_state->wanted = std::move(wanted);
    m_state->parser = XML_ParserCreate(nullptr);
    XML_SetUserData(m_state->parser, m_state.get());
    XML_SetElementHandler(m_state->parser, OnStart, OnEnd);
    XML_SetCharacterDataHandler(m_state->parser, OnText);
    XML_SetEntityDeclHandler(m_state->parser, OnEntityDeclaration);
}

XmltvReader::~XmltvReader() { release(); }

void XmltvReader::release() {
    if (m_state->parser) XML_ParserFree(m_state->parser);
    m_state->parser = nullptr;
}

bool XmltvReader::feed(std::string_view piece) {
    State& s = *m_state;
    if (s.failed) return false;
    // Handed on in slices of 1 MiB. The parser keeps a token whole in memory until it ends, so
    // a guide that goes on for 16 MiB without one element or piece of text (one endless
    // attribute, megabytes of nothing before the first element) is refused there.
    constexpr std::size_t kSlice = std::size_t{1} << 20;
    constexpr std::uint64_t kMaxQuietBytes = std::uint64_t{16} << 20;
    while (!piece.empty() && !s.failed) {
        const std::size_t n = std::min(piece.size(), kSlice);
        const std::uint64_t eventsBefore = s.events;
        if (XML_Parse(s.parser, piece.data(), static_cast<int>(n), XML_FALSE) != XML_STATUS_OK) {
            if (s.error.empty())
                s.error = std::string(XML_ErrorString(XML_GetErrorCode(s.parser))) + " at line " +
                          std::to_string(XML_GetCurrentLineNumber(s.parser));
            s.failed = true;
        }
        s.quietBytes = s.events == eventsBefore ? s.quietBytes + n : 0;
        if (s.quietBytes > kMaxQuietBytes && !s.failed) {
            s.error = "the guide runs on for over 16 MiB without an element";
            s.failed = true;
        }
        piece.remove_prefix(n);
    }
    if (s.failed) release();  // what the parser held goes now, not with the reader
    return !s.failed;
}

bool XmltvReader::finish() {
    State& s = *m_state;
    if (s.failed) return false;
    if (XML_Parse(s.parser, "", 0, XML_TRUE) != XML_STATUS_OK) {
        s.error = std::string(XML_ErrorString(XML_GetErrorCode(s.parser))) + " at line " +
                  std::to_string(XML_GetCurrentLineNumber(s.parser));
        s.failed = true;
    }
    release();
    return !s.failed;
}

const std::string& XmltvReader::error() const { return m_state->error; }

GuideData XmltvReader::take() {
    GuideData data = std::move(m_state->data);
    Settle(data);
    return data;
}

}  // namespace guide
