#include "app/StartOpen.h"

#include "definitions/Dialogs.h"
#include "definitions/Sgrid.h"
#include "ui/Main.h"

#include <filesystem>
#include <fstream>
#include <system_error>

namespace {

// Answers the first open-file question with the given name and passes
// every other question to the installed seam.
class NamedOpen : public TLxDialogs {
public:
    explicit NamedOpen(std::string name) : name_(std::move(name)), inner_(Dialogs()) { previous_ = SetDialogs(this); }
    ~NamedOpen() override { SetDialogs(previous_); }
    NamedOpen(const NamedOpen&) = delete;
    NamedOpen& operator=(const NamedOpen&) = delete;

    std::optional<std::string> OpenFileName(const std::string& filter, const std::string& ext) override
    {
        if (used_) return inner_.OpenFileName(filter, ext);
        used_ = true;
        return name_;
    }
    std::optional<std::string> SaveFileName(const std::string& filter, const std::string& ext) override
    {
        return inner_.SaveFileName(filter, ext);
    }
    MsgAnswer Message(const std::string& text, const std::string& caption, MsgButtons b, MsgKind k) override
    {
        return inner_.Message(text, caption, b, k);
    }
    std::optional<std::uint32_t> PickColor(std::uint32_t initial) override { return inner_.PickColor(initial); }

private:
    std::string name_;
    TLxDialogs& inner_;
    TLxDialogs* previous_ = nullptr;
    bool used_ = false;
};

bool Readable(const std::string& name)
{
    std::error_code ec;
    if (!std::filesystem::is_regular_file(name, ec)) return false;
    std::ifstream f(name, std::ios::binary);
    return static_cast<bool>(f);
}

} // namespace

bool OpenAtStart(TfrmMain& frm, const std::string& name)
{
    // The menu says nothing about a file it can't read, because its dialog
    // only offers files that exist; a typed name deserves a message.
    if (!Readable(name)) {
        Dialogs().Message("Can't open file " + name, "Diduvuve", MsgButtons::Ok, MsgKind::Error);
        return false;
    }
    {
        NamedOpen seam(name);
        frm.Open1Click();
    }
    return frm.sgAldl->FileName() == name;
}
