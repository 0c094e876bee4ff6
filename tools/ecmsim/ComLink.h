#pragma once
// The line as serial port COMn: a link in the serial link library's folder
// ($XDG_CONFIG_HOME/serilink, default ~/.config/serilink) to the
// pseudo-terminal, for as long as the simulator runs.
#include <string>

class ComLink {
public:
    ComLink() = default;
    ~ComLink() { Remove(); }
    ComLink(const ComLink&) = delete;
    ComLink& operator=(const ComLink&) = delete;

    // Links COM`com` to `target`, replacing a stale link of an earlier run
    // but never a file of the user's; false with errno set.
    bool Create(int com, const std::string& target);
    // Removes the link if it still leads to our target.
    void Remove();
    // The link's path, once Create was tried.
    const std::string& Path() const { return link_; }

private:
    std::string link_, target_;
};
