// LoadChannelList on a generated 100,000-line catalogue: the core's work and the full call
// with the list filled, beside the floor of reading the same file and decoding it byte by
// byte. Run: build/release/bin/catalogue_bench   (prints the ratios after the table)
#include <benchmark/benchmark.h>

#include <QApplication>
#include <QComboBox>
#include <algorithm>
#include <clocale>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "appearance/private_label.h"
#include "catalogue/catalogue_writer.h"
#include "catalogue/channel_list.h"
#include "catalogue/codec.h"
#include "catalogue/line_reader.h"
#include "services/app.h"
#include "services/file_io.h"
#include "viewer/list_view.h"
#include "viewer/main_window.h"

namespace {

constexpr int kLines = 100000;
const char* const kCategories[] = {"TV", "Radio", "Video", "XXX"};

std::filesystem::path g_folder;

std::string LanguageName(int i) {
    static const char* const base[] = {"English", "French",  "German", "Spanish", "Italian",
                                       "Dutch",   "Swedish", "Arabic", "Turkish", "Polish"};
    return std::string(base[i % 10]) + (i >= 10 ? " " + std::to_string(i / 10) : "");
}

void MakeCatalogue() {
    g_folder = std::filesystem::temp_directory_path() / ("viewer-bench-" + std::to_string(::getpid()));
    std::filesystem::create_directories(g_folder);
    std::mt19937 rng(7);
    std::string out;
    out.reserve(kLines * 110);
    for (int i = 0; i < kLines; ++i) {
        const std::string name = "Channel " + std::to_string(i) + " Live";
        const std::string url = "http://streams.example.test/live/" + std::to_string(rng()) + "/index.m3u8";
        std::string lang = LanguageName(static_cast<int>(rng() % 40));
        if (rng() % 5 == 0) lang += "/" + LanguageName(static_cast<int>(rng() % 40));
        catalogue::AppendEncodedLine(out, name, url, kCategories[i % 4], lang);
    }
    services::ReplaceFileAtomically(g_folder / "Data.txt", out);
}

// Floor: read the file and decode every byte of every line.
void BM_Floor_ReadAndDecode(benchmark::State& state) {
    for (auto _ : state) {
        auto text = services::ReadFileCapped(g_folder / "Data.txt", 1u << 30);
        std::size_t total = 0;
        std::string decoded;
        catalogue::ForEachLine(*text, [&](std::string_view line) {
            decoded.assign(line);
            modGenDec::DecodeInPlace(decoded.data(), decoded.size());
            total += static_cast<unsigned char>(decoded.empty() ? 0 : decoded[0]);
        });
        benchmark::DoNotOptimize(total);
    }
}

void CoreWork(benchmark::State& state, const char* filter) {
    catalogue::ChannelQuery q;
    q.category = "TV";
    q.languageFilter = filter;
    q.gatherLanguages = true;
    for (auto _ : state) {
        auto r = catalogue::LoadChannels(g_folder / "Data.txt", q);
        benchmark::DoNotOptimize(r->channels.data());
    }
}
void BM_Core_FilterAll(benchmark::State& state) { CoreWork(state, "All"); }
void BM_Core_FilterOneLanguage(benchmark::State& state) { CoreWork(state, "german"); }

void FullCall(benchmark::State& state, const char* filter) {
    Form1 form;
    for (auto _ : state) {
        form.CurrentCategory = "TV";
        form.LanguageFilter = filter;
        form.RebuildLanguageList = true;
        form.LoadChannelList();
        benchmark::DoNotOptimize(form.ListView1->rows()->rowCount());
    }
    state.counters["rows"] = form.ListView1->rows()->rowCount();
}
void BM_Form1_LoadChannelList_All(benchmark::State& state) { FullCall(state, "All"); }
void BM_Form1_LoadChannelList_OneLanguage(benchmark::State& state) { FullCall(state, "german"); }

}  // namespace

BENCHMARK(BM_Floor_ReadAndDecode)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_Core_FilterAll)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_Core_FilterOneLanguage)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_Form1_LoadChannelList_All)->Unit(benchmark::kMillisecond)->Repetitions(7)->ReportAggregatesOnly(true);
BENCHMARK(BM_Form1_LoadChannelList_OneLanguage)
    ->Unit(benchmark::kMillisecond)
    ->Repetitions(7)
    ->ReportAggregatesOnly(true);

namespace {
// Collects the medians and prints each row's ratio to the floor after the usual table.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs)
            if (r.aggregate_name == "median") m_medians[r.run_name.function_name] = r.GetAdjustedRealTime();
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const double floor = m_medians["BM_Floor_ReadAndDecode"];
        std::printf("\nmedian ms and ratio to the floor (read + byte-decode = %.2f ms):\n", floor);
        for (const auto& [name, ms] : m_medians)
            std::printf("  %-40s %8.2f ms  %5.2fx\n", name.c_str(), ms, floor > 0 ? ms / floor : 0.0);
    }

private:
    std::map<std::string, double> m_medians;
};
}  // namespace

int main(int argc, char** argv) {
    ::setenv("QT_QPA_PLATFORM", "offscreen", 0);
    QApplication app(argc, argv);
    std::setlocale(LC_NUMERIC, "C");
    MakeCatalogue();
    AppInfo info = App::BuildInfo();
    info.path = g_folder;
    App::Configure(info);
    modPrivateLabel::LoadPrivateLabel();

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::error_code ec;
    std::filesystem::remove_all(g_folder, ec);
    return 0;
}
