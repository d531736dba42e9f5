#pragma once
// A channel's archive, as its playlist declares it (catchup / catchup-type, catchup-days,
// catchup-source; an Xtream account's tv_archive): the address that plays a programme of the
// past from its start, in the forms providers use.
//   default   catchup-source is the whole address, with the programme's times filled in
//   append    catchup-source is added to the channel's own address
//   shift     "utc=<start>&lutc=<now>" is added to the channel's address
//   flussonic the channel's address, its file name turned into the archive's
//             (".../index.m3u8" -> ".../index-<start>-<duration>.m3u8",
//              ".../mpegts" -> ".../timeshift_abs-<start>.ts")
//   xc        an Xtream Codes panel: ".../live/<user>/<pass>/<id>.ts" ->
//             ".../timeshift/<user>/<pass>/<minutes>/<YYYY-MM-DD:HH-MM>/<id>.ts"
// Times in the templates: {utc} ${start} {start} the start, {utcend} ${end} {end} the end,
// {lutc} ${now} ${timestamp} now (seconds since 1970), {duration} ${duration} the length in
// seconds ({duration:60} in minutes), ${offset} {offset} seconds since the start, and the
// start's {Y} {m} {d} {H} {M} {S} in UTC.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace catchup {

enum class Kind { None, Default, Append, Shift, Flussonic, Xc };

struct Archive {
    Kind kind = Kind::None;
    int days = 0;        // how far back it reaches; 0: as far as the guide goes back (7 days)
    std::string source;  // catchup-source, as the playlist wrote it
    bool declared() const { return kind != Kind::None; }
};

// The archive of an entry's attributes ("catchup" or "catchup-type", "catchup-days" or
// "timeshift", "catchup-source"); none for a kind it does not know, or "default"/"append"
// without a source.
Archive FromAttributes(std::string_view kind, std::string_view days, std::string_view source);

// Kept in one text beside a channel ("kind;days;source"), and read back.
std::string Write(const Archive& archive);
Archive Read(std::string_view text);

// The address that plays [start, stop) of the channel at `live` from its archive, as asked at
// `now`; none when the channel has no archive, the programme is not over its start yet, or it
// is older than the archive reaches.
std::optional<std::string> AddressFor(const Archive& archive, std::string_view live, std::int64_t start,
                                      std::int64_t stop, std::int64_t now);

}  // namespace catchup
