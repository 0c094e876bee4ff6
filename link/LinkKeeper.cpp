#include "link/LinkKeeper.h"

#include "serilink/serilink.h"

#include <cstring>

namespace {

// The serial library appends this before the system's own error text.
constexpr const char* SystemErrorMark = " Windows error: ";

} // namespace

LinkKeeper::LinkKeeper(int retryMs) : retryMs_(retryMs < 0 ? 0 : retryMs) {}

bool LinkKeeper::DeviceGone(int result, int errCode, const char* errText)
{
    if (result != -1 && result != -3 && result != -4)
        return false;
    if (errCode == SC_ERR_NOT_INIT)
        return true;
    if (errCode != SC_ERR_READ && errCode != SC_ERR_WRITE)
        return false;
    // "No data available." (a timeout) carries no system text.
    return errText && std::strstr(errText, SystemErrorMark) != nullptr;
}

std::int32_t LinkKeeper::MarkSerialError()
{
    const std::int32_t mark = ::errCode;
    ::errCode = 0;
    return mark;
}

std::int32_t LinkKeeper::SerialErrorSince(std::int32_t mark)
{
    if (::errCode != 0)
        return ::errCode;
    ::errCode = mark;
    return 0;
}

bool LinkKeeper::Exchanged(int result, int errCode, const char* errText, std::int64_t startMs,
                           std::int64_t endMs)
{
    if (lost_)
        return false;
    if (result >= 0) {
        quickFailures_ = 0;
        return false;
    }
    if (DeviceGone(result, errCode, errText)) {
        lost_ = true;
        quickFailures_ = 0;
        nextTry_ = endMs + retryMs_;
        std::string text = errText ? errText : "";
        // a system text from Windows ends in a line break
        while (!text.empty() && (text.back() == '\n' || text.back() == '\r' || text.back() == ' '))
            text.pop_back();
        lostText_ = "Link lost: " + text;
        return true;
    }
    if (endMs - startMs < QuickMs) {
        if (quickFailures_ < 1000)
            ++quickFailures_;
    } else {
        quickFailures_ = 0;
    }
    return false;
}

bool LinkKeeper::Opened(bool ok, std::int64_t nowMs, const std::string& error)
{
    if (!lost_)
        return false;
    if (!ok) {
        nextTry_ = nowMs + retryMs_;
        tryError_ = error;
        while (!tryError_.empty() && (tryError_.back() == '\n' || tryError_.back() == '\r' || tryError_.back() == ' '))
            tryError_.pop_back();
        return false;
    }
    tryError_.clear();
    lost_ = false;
    quickFailures_ = 0;
    return true;
}

int LinkKeeper::WaitMs(std::int64_t nowMs) const
{
    if (lost_) {
        const std::int64_t left = nextTry_ - nowMs;
        return left > 0 ? static_cast<int>(left < retryMs_ ? left : retryMs_) : 0;
    }
    if (quickFailures_ < 3)
        return 0;
    const int steps = quickFailures_ - 3;
    int wait = 20;
    for (int i = 0; i < steps && wait < MaxQuickWaitMs; ++i)
        wait *= 2;
    return wait < MaxQuickWaitMs ? wait : MaxQuickWaitMs;
}

void LinkKeeper::Reset()
{
    lost_ = false;
    nextTry_ = 0;
    quickFailures_ = 0;
    lostText_.clear();
    tryError_.clear();
}

std::string LinkKeeper::BackText()
{
    return "Link back.";
}
