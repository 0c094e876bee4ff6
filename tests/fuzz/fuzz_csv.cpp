// Logs as CSV: any definition and any log lines give well-formed CSV, every
// line with one field per word after the time, and every text field reads
// back as the Latin-1 text it came from.
#include "app/csv/CsvExport.h"
#include "link/LogFile.h"
#include "tests/fuzz/FuzzCheck.h"
#include "tests/fuzz/MemFile.h"

#include <fuzzer/FuzzedDataProvider.h>

namespace {

MemFile file;

// Splits RFC 4180 text into records of fields; false when it is not well formed.
bool ParseCsv(const std::string& s, std::vector<std::vector<std::string>>& records)
{
    std::size_t i = 0;
    records.clear();
    while (i < s.size()) {
        std::vector<std::string> rec;
        for (;;) {
            std::string f;
            if (i < s.size() && s[i] == '"') {
                ++i;
                for (;;) {
                    if (i >= s.size()) return false;
                    if (s[i] == '"') {
                        if (i + 1 < s.size() && s[i + 1] == '"') {
                            f += '"';
                            i += 2;
                            continue;
                        }
                        ++i;
                        break;
                    }
                    f += s[i++];
                }
            } else {
                while (i < s.size() && s[i] != ',' && s[i] != '\r' && s[i] != '\n' && s[i] != '"') f += s[i++];
            }
            rec.push_back(f);
            if (i < s.size() && s[i] == ',') {
                ++i;
                continue;
            }
            if (s.compare(i, 2, "\r\n") != 0) return false;
            i += 2;
            break;
        }
        records.push_back(std::move(rec));
    }
    return true;
}

std::string Latin1(const std::string& utf8)
{
    std::string out;
    for (std::size_t i = 0; i < utf8.size(); ++i) {
        const auto c = static_cast<unsigned char>(utf8[i]);
        if (c < 0x80) {
            out += static_cast<char>(c);
            continue;
        }
        FUZZ_CHECK((c & 0xFE) == 0xC2 && i + 1 < utf8.size());
        const auto d = static_cast<unsigned char>(utf8[++i]);
        FUZZ_CHECK((d & 0xC0) == 0x80);
        out += static_cast<char>((c & 0x03) << 6 | (d & 0x3F));
    }
    return out;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    FuzzedDataProvider fdp(data, size);
    TCsvOptions options;
    options.Ids = fdp.ConsumeBool();
    options.Raw = fdp.ConsumeBool();
    const std::string field = fdp.ConsumeRandomLengthString(64);
    const std::string log = fdp.ConsumeRandomLengthString(2048);
    const std::string text = fdp.ConsumeRemainingBytesAsString();

    std::string one;
    AppendCsvField(one, field);
    std::vector<std::vector<std::string>> records;
    FUZZ_CHECK(ParseCsv(one + "\r\n", records));
    FUZZ_CHECK(records.size() == 1 && records[0].size() == 1 && Latin1(records[0][0]) == field);

    TDefinition def;
    std::string error;
    if (!LoadDefinitionFile(file.Set(text), def, error)) return 0;
    if (def.Words.size() > 200) return 0; // wide enough; keeps each run short
    TCsvExport csv(def, options);
    std::string out;
    csv.AppendHeader(out);
    std::size_t b = 0;
    while (b <= log.size()) {
        std::size_t e = log.find('\n', b);
        if (e == std::string::npos) e = log.size();
        FrameBuffer frame;
        frame.fill(0x3F);
        std::int32_t stamp = 0;
        const int count = ParseLogLine(log.substr(b, e - b), frame, stamp);
        csv.AppendLine(out, stamp, frame, count);
        b = e + 1;
    }
    FUZZ_CHECK(ParseCsv(out, records));
    for (const auto& r : records) FUZZ_CHECK(r.size() == def.Words.size() + 1);
    return 0;
}
