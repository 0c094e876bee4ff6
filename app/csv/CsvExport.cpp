#include "app/csv/CsvExport.h"

#include <charconv>
#include <cmath>

void AppendCsvField(std::string& out, std::string_view latin1)
{
    bool quote = false;
    for (char c : latin1)
        if (c == ',' || c == '"' || c == '\r' || c == '\n') {
            quote = true;
            break;
        }
    if (quote) out += '"';
    for (char ch : latin1) {
        const auto c = static_cast<unsigned char>(ch);
        if (c < 0x80) {
            if (c == '"') out += '"';
            out += ch;
        } else {
            out += static_cast<char>(0xC0 | c >> 6);
            out += static_cast<char>(0x80 | (c & 0x3F));
        }
    }
    if (quote) out += '"';
}

TCsvExport::TCsvExport(const TDefinition& def, TCsvOptions options) : options_(options)
{
    for (const auto& row : def.Words) aldl_.Add(row);
    problems_ = aldl_.CompileExpressions();
    flagFields_.resize(static_cast<std::size_t>(aldl_.Count()));
    for (int i = 0; i < aldl_.Count(); ++i) {
        const TDisplay& d = aldl_.Items(i);
        if (d.StartByte < 1 || d.StartByte > FrameLast + 1) unreadable_.push_back(i);
        if (d.Display != DisplayKind::Flag) continue;
        auto& fields = flagFields_[static_cast<std::size_t>(i)];
        for (const auto& f : d.Flags) {
            fields.emplace_back();
            AppendCsvField(fields.back(), f);
        }
        fields.emplace_back("?");
    }
}

void TCsvExport::AppendHeader(std::string& out) const
{
    out += "Time (s)";
    for (int i = 0; i < aldl_.Count(); ++i) {
        const TDisplay& d = aldl_.Items(i);
        out += ',';
        if (options_.Ids) AppendCsvField(out, d.ID);
        else AppendCsvField(out, d.Units.empty() ? d.Name : d.Name + " (" + d.Units + ")");
    }
    out += "\r\n";
}

void TCsvExport::AppendLine(std::string& out, std::int32_t stamp, const FrameBuffer& frame, int count)
{
    // Milliseconds as seconds with three decimals, the sign kept for negative stamps.
    std::int64_t ms = stamp;
    if (ms < 0) {
        out += '-';
        ms = -ms;
    }
    char buf[24];
    auto r = std::to_chars(buf, buf + sizeof buf, ms / 1000);
    out.append(buf, r.ptr);
    const int frac = static_cast<int>(ms % 1000);
    out += '.';
    out += static_cast<char>('0' + frac / 100);
    out += static_cast<char>('0' + frac / 10 % 10);
    out += static_cast<char>('0' + frac % 10);

    DecodeWords(aldl_, frame, result_, false);
    for (int i = 0; i < aldl_.Count(); ++i) {
        out += ',';
        const TDisplay& d = aldl_.Items(i);
        const TWordResult& w = result_.Words[static_cast<std::size_t>(i)];
        // The word's least significant byte (its highest position) did not arrive.
        if (!w.Read || d.StartByte > count) continue;
        if (options_.Raw) {
            r = std::to_chars(buf, buf + sizeof buf, w.Raw);
            out.append(buf, r.ptr);
        } else if (d.Computed && !std::isfinite(w.Value)) {
            // An expression without a number there: an empty field, as in the tables.
        } else if (d.Display == DisplayKind::Flag) {
            const auto& fields = flagFields_[static_cast<std::size_t>(i)];
            // A whole value (factor 1, offset 0) picks its text directly.
            const int n = static_cast<int>(fields.size()) - 1;
            const int k = w.Value == static_cast<long double>(w.Raw) ? (w.Raw < n ? w.Raw : -1) : FlagIndex(d, w.Value);
            out += fields[k < 0 ? fields.size() - 1 : static_cast<std::size_t>(k)];
        } else {
            // Number texts are plain ASCII without commas: no quoting needed.
            AppendNumberText(out, w.Value);
        }
    }
    out += "\r\n";
}
