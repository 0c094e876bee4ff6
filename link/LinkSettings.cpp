#include "link/LinkSettings.h"

#include "decode/Hex.h"
#include "definitions/Persist.h"

#include <algorithm>
#include <cctype>

const char* const LinkSection = "[LINK]";

namespace {

int IntKey(const TLxPersist& store, const char* key, int def, int lo, int hi)
{
    std::int32_t v = 0;
    const std::string text = store.ReadString(LinkSection, key, "");
    if (!TryStrToInt(text, v) || v < lo || v > hi) return def;
    return v;
}

std::string Trim(const std::string& s)
{
    std::size_t a = 0, b = s.size();
    while (a < b && (s[a] == ' ' || s[a] == '\t' || s[a] == '"')) ++a;
    while (b > a && (s[b - 1] == ' ' || s[b - 1] == '\t' || s[b - 1] == '"' || s[b - 1] == '\r')) --b;
    return s.substr(a, b - a);
}

bool HexItem(const std::string& t, std::uint8_t& out)
{
    if (t.empty() || t.size() > 2) return false;
    unsigned v = 0;
    for (char c : t) {
        if (!std::isxdigit(static_cast<unsigned char>(c))) return false;
        v = v * 16 + static_cast<unsigned>(std::isdigit(static_cast<unsigned char>(c)) ? c - '0' : (std::tolower(c) - 'a' + 10));
    }
    out = static_cast<std::uint8_t>(v);
    return true;
}

} // namespace

std::vector<std::vector<std::uint8_t>> LinkRequests(const std::string& text)
{
    std::vector<std::vector<std::uint8_t>> out;
    std::size_t from = 0;
    while (from <= text.size()) {
        std::size_t comma = text.find(',', from);
        if (comma == std::string::npos) comma = text.size();
        const std::string item = Trim(text.substr(from, comma - from));
        std::vector<std::uint8_t> bytes;
        bool ok = !item.empty();
        std::size_t i = 0;
        while (ok && i < item.size()) {
            while (i < item.size() && (item[i] == ' ' || item[i] == '\t')) ++i;
            std::size_t j = i;
            while (j < item.size() && item[j] != ' ' && item[j] != '\t') ++j;
            if (j == i) break;
            std::uint8_t b = 0;
            ok = HexItem(item.substr(i, j - i), b) && bytes.size() < 127;
            bytes.push_back(b);
            i = j;
        }
        if (ok && !bytes.empty()) out.push_back(std::move(bytes));
        from = comma + 1;
    }
    return out;
}

std::vector<std::uint8_t> WithChecksum(std::vector<std::uint8_t> bytes)
{
    unsigned sum = 0;
    for (std::uint8_t b : bytes) sum += b;
    bytes.push_back(static_cast<std::uint8_t>((0x100 - (sum & 0xFF)) & 0xFF));
    return bytes;
}

TLinkSettings ReadLinkSettings(const TLxPersist& store)
{
    TLinkSettings s;
    s.Present = store.FindSection(LinkSection) >= 0;
    if (!s.Present) return s;
    s.Silence = Trim(store.ReadString(LinkSection, "Silence", ""));
    s.SilenceRepeat = IntKey(store, "SilenceRepeat", s.SilenceRepeat, 1, 20);
    s.SilenceGap = IntKey(store, "SilenceGap", s.SilenceGap, 0, 2000);
    s.QuietWait = IntKey(store, "QuietWait", s.QuietWait, 0, 5000);
    s.QuietWaitSet = !Trim(store.ReadString(LinkSection, "QuietWait", "")).empty();
    s.QuietTimeout = IntKey(store, "QuietTimeout", s.QuietTimeout, 0, 30000);
    s.Renew = IntKey(store, "Renew", s.Renew, 0, 600000);
    std::string foreign = Trim(store.ReadString(LinkSection, "Foreign", "fail"));
    std::transform(foreign.begin(), foreign.end(), foreign.begin(), [](unsigned char c) { return std::tolower(c); });
    s.SkipForeign = foreign == "skip";
    s.Resume = Trim(store.ReadString(LinkSection, "Resume", ""));
    return s;
}

void WriteLinkSettings(TLxPersist& store, const TLinkSettings& s)
{
    static const char* const keys[] = {"Silence", "SilenceRepeat", "SilenceGap", "QuietWait",
                                       "QuietTimeout", "Renew", "Foreign", "Resume"};
    if (!s.Present) {
        if (store.FindSection(LinkSection) < 0) return;
        for (const char* k : keys) store.DeleteKey(LinkSection, k);
        return;
    }
    store.WriteString(LinkSection, "Silence", s.Silence);
    store.WriteString(LinkSection, "SilenceRepeat", std::to_string(s.SilenceRepeat));
    store.WriteString(LinkSection, "SilenceGap", std::to_string(s.SilenceGap));
    if (s.QuietWaitSet) store.WriteString(LinkSection, "QuietWait", std::to_string(s.QuietWait));
    else store.DeleteKey(LinkSection, "QuietWait");
    store.WriteString(LinkSection, "QuietTimeout", std::to_string(s.QuietTimeout));
    store.WriteString(LinkSection, "Renew", std::to_string(s.Renew));
    store.WriteString(LinkSection, "Foreign", s.SkipForeign ? "skip" : "fail");
    store.WriteString(LinkSection, "Resume", s.Resume);
}

TLinkSettings LoadLinkSettings(const std::string& name)
{
    TLxPersist store;
    store.FileName = name;
    if (name.empty() || !store.ReloadFile()) return {};
    return ReadLinkSettings(store);
}
