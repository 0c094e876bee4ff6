#pragma once
// Error types shared by every subsystem. Commands that hit one end cleanly
// and show its text; nothing already stored is undone.
#include <stdexcept>
#include <string>

// Index or buffer bound exceeded (list readers, rawByte, TAldl.Items).
class ERangeError : public std::runtime_error {
public:
    explicit ERangeError(const std::string& what) : std::runtime_error(what) {}
};

// A text file (log, replay, definition) could not be read or written.
class EInOutError : public std::runtime_error {
public:
    explicit EInOutError(const std::string& what) : std::runtime_error(what) {}
};
