#include "definitions/Definition.h"

#include "decode/Aldl.h"
#include "decode/Hex.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

const char* const kNoInfo = "-,-,-,-,-,-,-,-,-,-,-,-,-";
const char* const kAldl = "[ALDL]";
const char* const kStream = "[STREAM]";
// A "Words" value beyond this is a damaged file, not a definition.
constexpr int kMaxWords = 10000;

std::vector<std::string> RowFields(const std::string& text)
{
    std::vector<std::string> fields = SplitList(text);
    if (fields.size() > static_cast<std::size_t>(DefColumnCount)) fields.resize(DefColumnCount);
    for (auto& f : fields) f = DashToEmpty(f);
    return fields;
}

} // namespace

std::string TDefinition::InfoText(int field) const
{
    std::vector<std::string> f = SplitList(Info);
    if (field < 0 || field >= static_cast<int>(f.size())) return {};
    return DashToEmpty(f[static_cast<std::size_t>(field)]);
}

std::int32_t TDefinition::IntervalMs() const { return std::max<std::int32_t>(StrToIntDef(InfoText(Interval), 100), 0); }

bool TDefinition::EchoOn() const
{
    // The tick is stored as "Y"; any other text leaves it clear.
    std::vector<std::string> f = SplitList(Info);
    return f.size() > static_cast<std::size_t>(Echo) && f[Echo] == "Y";
}

std::int32_t TDefinition::Port() const { return StrToIntDef(InfoText(Com), 1); }

bool ReadDefinition(const TLxPersist& store, TDefinition& def, std::string& error)
{
    const std::string versionText = store.ReadString(kAldl, "Version", "0");
    std::int32_t version = 0;
    if (!TryStrToInt(versionText, version)) {
        error = "'" + versionText + "' is not a valid integer value";
        return false;
    }
    if (version > 1) {
        error = "Input file format requires version " + std::to_string(version) + " of this software.";
        return false;
    }
    const std::string wordsText = store.ReadString(kAldl, "Words", "0");
    std::int32_t words = 0;
    if (!TryStrToInt(wordsText, words)) {
        error = "'" + wordsText + "' is not a valid integer value";
        return false;
    }
    if (words < 0 || words > kMaxWords) {
        error = "'" + wordsText + "' is not a valid number of words";
        return false;
    }
    TDefinition out;
    out.Header = RowFields(store.ReadString(kAldl, "Header", "0"));
    out.Info = store.ReadString(kAldl, "Info", kNoInfo);
    out.Words.reserve(static_cast<std::size_t>(words));
    for (int k = 1; k <= words; ++k)
        out.Words.push_back(RowFields(store.ReadString(kStream, "W" + std::to_string(k), "0")));
    def = std::move(out);
    return true;
}

bool LoadDefinitionFile(const std::string& name, TDefinition& def, std::string& error,
                        std::optional<TAnalysisChoices>* analysis)
{
    if (name.empty()) {
        error = "no file name";
        return false;
    }
    // Opened once here only to name the reason when it can't be read.
    if (std::FILE* f = std::fopen(name.c_str(), "rb")) std::fclose(f);
    else {
        error = std::strerror(errno);
        return false;
    }
    TLxPersist store;
    if (!store.LoadFile(name)) {
        const std::size_t why = store.LoadError.find("too large");
        error = why == std::string::npos ? "cannot be read" : store.LoadError.substr(why);
        return false;
    }
    if (analysis && HasAnalysisChoices(store)) *analysis = ReadAnalysisChoices(store);
    return ReadDefinition(store, def, error);
}
