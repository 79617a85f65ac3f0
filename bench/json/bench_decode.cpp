// Decodes the same package headers with decode, with QJsonDocument plus
// field extraction and with RapidJSON's SAX reader, side by side, and ends
// with a table of decodes per second, allocations per decode and ratios.
//
//   build/default/bench/json/bench_decode --benchmark_repetitions=3

#include "allocationcount.h"

#include "protomodel/upgradeinfo.h"
#include "json/decode.h"

#include <QByteArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QJsonValue>
#include <benchmark/benchmark.h>
#include <rapidjson/reader.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <string_view>
#include <vector>

using LCD::ProtoModel::Device::s_UpgradeInfo;

namespace {

const std::string typicalHeader
    = R"({"name":"Vesk","modelID":29974,"mainVersion":"1.0.2","dataVersion":"2.3.15"})";

// About `bytes` of arrays and objects nested three deep.
std::string nested_member(size_t bytes)
{
    std::string out = "[";
    for (int i = 0; out.size() + 1 < bytes; ++i) {
        out += i ? "," : "";
        out += R"({"id":)" + std::to_string(i)
            + R"(,"tags":["alpha","beta"],"m":[1.5,-2,[3,4,{"z":null}]],"on":true,"s":"text"})";
    }
    return out + "]";
}

const std::string largeHeader = R"({"name":"Vesk","modelID":29974,"extra":)" + nested_member(4096)
    + R"(,"mainVersion":"1.0.2","dataVersion":"2.3.15"})";

bool decode_ajson(const std::string& text, s_UpgradeInfo& info)
{
    std::string err;
    return LCD::ProtoModel::decode(text, info, err);
}

bool decode_qjson(const std::string& text, s_UpgradeInfo& info)
{
    const QJsonDocument doc = QJsonDocument::fromJson(QByteArray::fromRawData(text.data(), int(text.size())));
    if (!doc.isObject())
        return false;
    const QJsonObject object = doc.object();
    info.name = object.value(QLatin1String("name")).toString().toStdString();
    info.modelID = object.value(QLatin1String("modelID")).toInt();
    info.mainVersion = object.value(QLatin1String("mainVersion")).toString().toStdString();
    info.dataVersion = object.value(QLatin1String("dataVersion")).toString().toStdString();
    return true;
}

// Stores the four members met at the top level of the object.
class HeaderHandler : public rapidjson::BaseReaderHandler<rapidjson::UTF8<>, HeaderHandler>
{
public:
    explicit HeaderHandler(s_UpgradeInfo& info)
        : m_info(info)
    {
    }

    bool Key(const char* chars, rapidjson::SizeType length, bool)
    {
        if (m_depth == 1)
            m_member = member(std::string_view(chars, length));
        return true;
    }
    bool String(const char* chars, rapidjson::SizeType length, bool)
    {
        if (m_depth == 1 && m_member)
            m_member->assign(chars, length);
        return Default();
    }
    bool Int(int value) { return store(value); }
    bool Uint(unsigned value) { return store(int(value)); }
    bool StartObject() { return open(); }
    bool StartArray() { return open(); }
    bool EndObject(rapidjson::SizeType) { return close(); }
    bool EndArray(rapidjson::SizeType) { return close(); }
    bool Default()
    {
        m_member = nullptr;
        m_model = false;
        return true;
    }

private:
    std::string* member(std::string_view key)
    {
        m_model = key == "modelID";
        return key == "name"       ? &m_info.name
            : key == "mainVersion" ? &m_info.mainVersion
            : key == "dataVersion" ? &m_info.dataVersion
                                   : nullptr;
    }
    bool store(int value)
    {
        if (m_depth == 1 && m_model)
            m_info.modelID = value;
        return Default();
    }
    bool open()
    {
        ++m_depth;
        return Default();
    }
    bool close()
    {
        --m_depth;
        return true;
    }

    s_UpgradeInfo& m_info;
    int m_depth = 0;
    std::string* m_member = nullptr;
    bool m_model = false;
};

// The reader is kept between decodes: its string stack is allocated once.
bool decode_rapidjson(const std::string& text, s_UpgradeInfo& info)
{
    static rapidjson::Reader reader;
    rapidjson::StringStream stream(text.c_str());
    HeaderHandler handler(info);
    return !reader.Parse(stream, handler).IsError();
}

using Decoder = bool (*)(const std::string&, s_UpgradeInfo&);

void run(benchmark::State& state, Decoder decode, const std::string& text)
{
    const uint64_t before = allocation_count();
    for (auto _ : state) {
        s_UpgradeInfo info;
        bool ok = decode(text, info);
        benchmark::DoNotOptimize(ok);
        benchmark::DoNotOptimize(info);
    }
    const double allocations = double(allocation_count() - before);
    state.counters["allocs/decode"] = allocations / double(state.iterations());
    state.SetBytesProcessed(int64_t(state.iterations() * text.size()));
}

// All three must agree, or the comparison means nothing.
void check_decoders_agree(const std::string& text, const std::vector<Decoder>& decoders)
{
    for (Decoder decode : decoders) {
        s_UpgradeInfo info;
        if (!decode(text, info) || info.name != "Vesk" || info.modelID != 29974 || info.mainVersion != "1.0.2"
            || info.dataVersion != "2.3.15") {
            std::fprintf(stderr, "decoders disagree on %s\n", text.c_str());
            std::exit(1);
        }
    }
}

struct Result
{
    std::vector<double> rates;
    double allocations = 0;
};

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

// The console output, then one table with the ratios of the median rates.
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns(const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred)
                continue;
            Result& result = m_results[run.benchmark_name()];
            result.rates.push_back(double(run.iterations) / run.cpu_accumulated_time);
            result.allocations = run.counters.at("allocs/decode");
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        std::printf("\n%-8s %-15s %14s %14s %16s %14s\n", "header", "decoder", "decodes/s", "allocs/decode",
                    "x QJsonDocument", "x RapidJSON");
        for (const char* header : {"typical", "large"})
            print_header(header);
    }

private:
    double rate(const std::string& name) const
    {
        const auto found = m_results.find(name);
        return found == m_results.end() ? 0 : median(found->second.rates);
    }

    void print_header(const std::string& header) const
    {
        const double qt = rate(header + "/QJsonDocument");
        const double rapid = rate(header + "/RapidJSON");
        for (const char* decoder : {"decode", "QJsonDocument", "RapidJSON"}) {
            const std::string name = header + "/" + decoder;
            const auto found = m_results.find(name);
            if (found == m_results.end())
                continue;
            const double own = rate(name);
            std::printf("%-8s %-15s %14.0f %14.2f %15.2fx %13.2fx\n", header.c_str(), decoder, own,
                        found->second.allocations, qt > 0 ? own / qt : 0, rapid > 0 ? own / rapid : 0);
        }
    }

    std::map<std::string, Result> m_results;
};

} // namespace

int main(int argc, char** argv)
{
    const std::vector<std::pair<const char*, Decoder>> decoders
        = {{"decode", decode_ajson}, {"QJsonDocument", decode_qjson}, {"RapidJSON", decode_rapidjson}};
    const std::vector<std::pair<const char*, const std::string*>> headers
        = {{"typical", &typicalHeader}, {"large", &largeHeader}};
    for (const auto& [header, text] : headers) {
        check_decoders_agree(*text, {decode_ajson, decode_qjson, decode_rapidjson});
        for (const auto& [name, decode] : decoders) {
            const Decoder d = decode;
            const std::string* t = text;
            benchmark::RegisterBenchmark((std::string(header) + "/" + name).c_str(),
                                         [d, t](benchmark::State& state) { run(state, d, *t); });
        }
    }
    std::printf("typical header: %zu bytes, large header: %zu bytes\n", typicalHeader.size(),
                largeHeader.size());
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
}
