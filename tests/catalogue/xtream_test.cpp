// A provider's account read as a playlist: how the panel's answer about the account is judged,
// and what its lists become.
#include "catalogue/xtream.h"

#include <gtest/gtest.h>

#include "catalogue/catchup.h"
#include "catalogue/playlist.h"

namespace {

constexpr std::int64_t kNow = 1'800'000'000;

std::string UserInfo(const std::string& fields) { return R"({"user_info":{)" + fields + R"(},"server_info":{}})"; }

}  // namespace

TEST(Xtream, TheAccountsAnswerIsJudgedAsPanelsGiveIt) {
    // Panels write numbers as strings or as numbers.
    const xtream::Login ok = xtream::ReadLogin(
        UserInfo(R"("auth":1,"status":"Active","exp_date":"1900000000","max_connections":"2","active_cons":1)"), 200,
        kNow);
    EXPECT_EQ(ok.problem, xtream::Problem::None);
    EXPECT_EQ(ok.state.expires, 1'900'000'000);
    EXPECT_EQ(ok.state.maxConnections, 2);
    EXPECT_EQ(ok.state.activeConnections, 1);
    // No end date at all.
    EXPECT_EQ(xtream::ReadLogin(UserInfo(R"("auth":1,"status":"Active","exp_date":null)"), 200, kNow).problem,
              xtream::Problem::None);

    const struct {
        std::string body;
        long status;
        xtream::Problem problem;
    } cases[] = {
        {UserInfo(R"("auth":0)"), 200, xtream::Problem::WrongCredentials},
        {"", 401, xtream::Problem::WrongCredentials},
        {"Forbidden", 403, xtream::Problem::WrongCredentials},
        {UserInfo(R"("auth":1,"status":"Expired","exp_date":"1900000000")"), 200, xtream::Problem::Expired},
        {UserInfo(R"("auth":1,"status":"Active","exp_date":"1700000000")"), 200, xtream::Problem::Expired},
        {UserInfo(R"("auth":1,"status":"Banned")"), 200, xtream::Problem::Disabled},
        {"<html><body>Welcome to nginx!</body></html>", 200, xtream::Problem::NotAPanel},
        {R"({"status":"ok"})", 200, xtream::Problem::NotAPanel},
        {UserInfo(R"("auth":1,"status":"Active")"), 500, xtream::Problem::NotAPanel},
    };
    for (const auto& c : cases)
        EXPECT_EQ(xtream::ReadLogin(c.body, c.status, kNow).problem, c.problem) << c.body << " " << c.status;
}

TEST(Xtream, ItsListsBecomeAPlaylistWithGroupsNumbersGuideIdsArchivesAndFilms) {
    const xtream::Account account{xtream::ServerOf("panel.example:8080/player_api.php?username=x"), "ann@home",
                                  "s/cr&t"};
    ASSERT_EQ(account.server, "http://panel.example:8080");
    xtream::Answers answers;
    answers.liveCategories =
        R"([{"category_id":"1","category_name":"Новости"},{"category_id":2,"category_name":"Sport"}])";
    answers.live = R"([
      {"num":1,"name":"Первый \"канал\"","stream_id":101,"stream_icon":"http://logo/1.png","epg_channel_id":"perviy",
       "category_id":"1","tv_archive":1,"tv_archive_duration":"3","extra":{"nested":[1,2]}},
      {"num":"7","name":"Arena","stream_id":"102","category_id":2,"tv_archive":0},
      {"num":8,"name":"Bad id","stream_id":"../../etc","category_id":2}])";
    answers.filmCategories = R"([{"category_id":"9","category_name":"Drama"}])";
    answers.films = R"({"a":{"name":"A Film","stream_id":501,"category_id":"9","container_extension":"mkv"}})";

    const playlist::Playlist list = playlist::Read(xtream::PlaylistOf(account, answers), {});
    ASSERT_EQ(list.entries.size(), 3u) << "the entry whose id makes no address is left out";
    const playlist::Entry& first = list.entries[0];
    EXPECT_EQ(first.name, "Первый \"канал\"");
    EXPECT_EQ(first.address, "http://panel.example:8080/live/ann%40home/s%2Fcr%26t/101.ts");
    EXPECT_EQ(first.group, "Новости");
    EXPECT_EQ(first.number, "1");
    EXPECT_EQ(first.tvgId, "perviy");
    EXPECT_EQ(first.logo, "http://logo/1.png");
    const catchup::Archive archive = catchup::Read(first.catchup);
    EXPECT_EQ(archive.kind, catchup::Kind::Xc);
    EXPECT_EQ(archive.days, 3);
    // Its archive's address is the panel's timeshift form.
    const auto past = catchup::AddressFor(archive, first.address, kNow - 3600, kNow - 1800, kNow);
    ASSERT_TRUE(past.has_value());
    EXPECT_EQ(past->rfind("http://panel.example:8080/timeshift/ann%40home/s%2Fcr%26t/30/", 0), 0u) << *past;

    EXPECT_EQ(list.entries[1].number, "7");
    EXPECT_EQ(list.entries[1].group, "Sport");
    EXPECT_TRUE(list.entries[1].catchup.empty());
    EXPECT_EQ(list.entries[2].address, "http://panel.example:8080/movie/ann%40home/s%2Fcr%26t/501.mkv");
    EXPECT_EQ(list.entries[2].group, "Films: Drama");
}

// A series is one row that asks for its episodes; the episodes' addresses are made of that row's
// server and account, whichever of the forms panels use the answer comes in.
TEST(Xtream, ASeriesIsOneRowWhoseAnswerGivesItsEpisodesBySeason) {
    const xtream::Account account{"http://panel.example", "ann", "s/cr&t"};
    xtream::Answers answers;
    answers.seriesCategories = R"([{"category_id":"3","category_name":"Crime"}])";
    answers.series = R"([{"name":"The Wire","series_id":77,"cover":"http://c/1.jpg","category_id":"3"},
                         {"name":"Bad","series_id":"7/../1","category_id":"3"}])";
    const playlist::Playlist list = playlist::Read(xtream::PlaylistOf(account, answers), {});
    ASSERT_EQ(list.entries.size(), 1u);
    const std::string series = list.entries[0].address;
    EXPECT_EQ(list.entries[0].group, "Series: Crime");
    EXPECT_EQ(list.entries[0].logo, "http://c/1.jpg");
    EXPECT_TRUE(xtream::IsSeriesAddress(series)) << series;
    EXPECT_FALSE(xtream::IsSeriesAddress("http://panel.example/live/ann/pw/101.ts"));
    EXPECT_FALSE(xtream::IsSeriesAddress("http://panel.example/player_api.php?username=a&action=get_series"));

    const std::string base = "http://panel.example/series/ann/s%2Fcr%26t/";
    const struct {
        const char* form;
        const char* answer;
    } forms[] = {
        {"seasons as a map", R"({"seasons":[],"info":{"name":"x"},"episodes":{
            "2":[{"id":"905","episode_num":1,"title":"Back","container_extension":"mp4","season":2,"info":{"a":1}}],
            "1":[{"id":"902","episode_num":"2","title":"Two","container_extension":"mkv","season":1},
                 {"id":"901","episode_num":1,"title":"One","container_extension":"mkv"},
                 {"id":"../x","episode_num":3,"title":"Bad","container_extension":"mkv","season":1}]}})"},
        {"seasons as arrays", R"({"episodes":[
            [{"id":"901","episode_num":1,"title":"One","container_extension":"mkv","season":1},
             {"id":"902","episode_num":2,"title":"Two","container_extension":"mkv","season":1}],
            [{"id":"905","episode_num":1,"title":"Back","container_extension":"mp4","season":2}]]})"},
        {"one flat array", R"({"episodes":[
            {"id":"905","episode_num":1,"title":"Back","container_extension":"mp4","season":2},
            {"id":"901","episode_num":1,"title":"One","container_extension":"mkv","season":1},
            {"id":"902","episode_num":2,"title":"Two","container_extension":"mkv","season":"1"}]})"},
    };
    for (const auto& f : forms) {
        const std::vector<xtream::Episode> episodes = xtream::EpisodesOf(series, f.answer);
        ASSERT_EQ(episodes.size(), 3u) << f.form;
        EXPECT_EQ(episodes[0].address, base + "901.mkv") << f.form;
        EXPECT_EQ(episodes[0].title, "One") << f.form;
        EXPECT_EQ(episodes[1].number, 2) << f.form;
        EXPECT_EQ(episodes[2].season, 2) << f.form;
        EXPECT_EQ(episodes[2].address, base + "905.mp4") << f.form;
    }
    EXPECT_TRUE(xtream::EpisodesOf(series, "<html>not found</html>").empty());
    EXPECT_TRUE(xtream::EpisodesOf(series, R"({"episodes":[]})").empty());
}

TEST(Xtream, TheGuidesAddressKeepsAMarkInPlaceOfThePasswordUntilItIsAsked) {
    const xtream::Account account{"https://tv.example", "ann", "p&w"};
    const std::string guide = xtream::GuideAddress(account, "12");
    EXPECT_EQ(guide.find("p&w"), std::string::npos);
    EXPECT_TRUE(xtream::HasSecretMark(guide));
    EXPECT_EQ(sources::WebGuides(guide), guide) << "it stays one guide address in the list of sources";
    const std::string filled = xtream::FillSecret(guide, [](const std::string& id) { return id == "12" ? "p&w" : ""; });
    EXPECT_EQ(filled, "https://tv.example/xmltv.php?username=ann&password=p%26w");
    EXPECT_EQ(xtream::FillSecret("http://other/epg.xml", [](const std::string&) { return "x"; }),
              "http://other/epg.xml");

    // The list of sources keeps the user and the account's state, never the password.
    sources::Source source{"12", "ann@tv", account.server, {}, {}, 5, guide, "ann", "Active;0;1;0"};
    const std::string written = sources::WriteSources({source});
    EXPECT_EQ(written.find("p&w"), std::string::npos);
    const auto read = sources::ReadSources(written);
    ASSERT_EQ(read.size(), 1u);
    EXPECT_TRUE(read[0].isAccount());
    EXPECT_EQ(read[0].guides, guide);
    EXPECT_EQ(read[0].account, "Active;0;1;0");

    for (const char* typed : {"", "   ", "ftp://host", "http://", "a b"})
        EXPECT_EQ(xtream::ServerOf(typed), "") << typed;
    EXPECT_EQ(xtream::ServerOf("https://tv.example/sub/get.php?username=a&password=b&type=m3u"),
              "https://tv.example/sub");
}
