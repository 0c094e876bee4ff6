#include "tools/ecmsim/Protocol.h"

std::uint8_t ChecksumOf(const std::uint8_t* bytes, std::size_t count)
{
    std::uint8_t sum = 0;
    for (std::size_t i = 0; i < count; ++i)
        sum = static_cast<std::uint8_t>(sum + bytes[i]);
    return static_cast<std::uint8_t>(0x100 - sum);
}

FedByte RequestParser::Feed(std::uint8_t byte, std::int64_t nowMs)
{
    if (!buf_.empty() && nowMs - last_ > StaleMs)
        buf_.clear();
    last_ = nowMs;
    FedByte out;
    out.position = static_cast<int>(buf_.size());
    buf_.push_back(byte);
    // a length byte below 0x55 cannot start a frame here: slide on by one
    while (buf_.size() >= 2 && (buf_[1] < 0x55 || buf_[1] - 0x55 > 127))
        buf_.erase(buf_.begin());
    if (buf_.size() >= 2) {
        const std::size_t need = 2 + (buf_[1] - 0x55u) + 1;
        if (buf_.size() == need) {
            out.complete = true;
            out.good = ChecksumOf(buf_.data(), buf_.size()) == 0;
            out.frame.swap(buf_);
            buf_.clear();
        }
    }
    return out;
}

std::vector<std::uint8_t> BuildReply(std::uint8_t id, std::uint8_t mode,
                                     const std::vector<std::uint8_t>& data)
{
    std::vector<std::uint8_t> r;
    r.reserve(data.size() + 4);
    r.push_back(id);
    r.push_back(static_cast<std::uint8_t>(0x55 + 1 + data.size()));
    r.push_back(mode);
    r.insert(r.end(), data.begin(), data.end());
    r.push_back(0);
    r.back() = static_cast<std::uint8_t>(ChecksumOf(r.data(), r.size() - 1));
    return r;
}
