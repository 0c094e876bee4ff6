#pragma once
// The logger's log file. Lines go to the system as they are written; the
// writer's own thread syncs the file once its oldest unsynced line is half a
// second old, even while an exchange blocks, so a power cut loses at most the
// last second. A failed sync is reported and tried again, never the end.
#include "decode/Hex.h"
#include "link/LogFile.h"

#include <cstdint>
#include <string>

class BlackBox {
public:
    BlackBox();
    ~BlackBox() { Close(); }
    BlackBox(const BlackBox&) = delete;
    BlackBox& operator=(const BlackBox&) = delete;

    // Closes the log in use and starts `name`; false with the system's reason in `error`.
    bool Create(const std::string& name, std::string& error);
    void Write(std::int32_t stamp, const FrameBuffer& frame, int count) { writer_.WriteLogLine(stamp, frame.data(), count); }
    void Close() { writer_.Close(); } // syncs
    const std::string& Name() const { return writer_.Name(); }

private:
    TLogWriter writer_;
};
