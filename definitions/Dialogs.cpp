#include "Dialogs.h"

#include <sys/stat.h>

namespace {

class RefusingDialogs final : public TLxDialogs {
public:
    std::optional<std::string> OpenFileName(const std::string&, const std::string&) override { return {}; }
    std::optional<std::string> SaveFileName(const std::string&, const std::string&) override { return {}; }
    MsgAnswer Message(const std::string&, const std::string&, MsgButtons b, MsgKind) override
    {
        return b == MsgButtons::Ok ? MsgAnswer::Ok : b == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Cancel;
    }
    std::optional<std::uint32_t> PickColor(std::uint32_t) override { return {}; }
};

RefusingDialogs refusing;
TLxDialogs* current = &refusing;

} // namespace

TLxDialogs& Dialogs() { return *current; }

TLxDialogs* SetDialogs(TLxDialogs* d)
{
    TLxDialogs* old = current == &refusing ? nullptr : current;
    current = d ? d : &refusing;
    return old;
}

bool ConfirmReplace(const std::string& name)
{
    struct stat st {};
    if (::stat(name.c_str(), &st) != 0) return true;
    return Dialogs().Message("File " + name + " already exists. Do you want to replace it?", "Log file...",
                             MsgButtons::YesNo, MsgKind::Question) == MsgAnswer::Yes;
}

void ShowMessage(const std::string& text) { Dialogs().Message(text, "Diduvuve", MsgButtons::Ok, MsgKind::Information); }
