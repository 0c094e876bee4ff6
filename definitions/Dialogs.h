#pragma once
// The one seam every modal interaction goes through: file dialogs, message
// boxes and the colour picker. The program installs a Qt implementation;
// tests install a scripted one. No Qt here so pure code can ask questions.
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

enum class MsgButtons { Ok, YesNo, YesNoCancel };
enum class MsgAnswer { Ok, Yes, No, Cancel };
enum class MsgKind { Information, Warning, Error, Question };

class TLxDialogs {
public:
    virtual ~TLxDialogs() = default;
    // `filter` uses the "Description|*.ext" form; the result has the
    // default extension added when the typed name had none.
    virtual std::optional<std::string> OpenFileName(const std::string& filter, const std::string& defaultExt) = 0;
    virtual std::optional<std::string> SaveFileName(const std::string& filter, const std::string& defaultExt) = 0;
    virtual MsgAnswer Message(const std::string& text, const std::string& caption, MsgButtons buttons,
                              MsgKind kind) = 0;
    // 0x00BBGGRR in and out; nullopt when cancelled.
    virtual std::optional<std::uint32_t> PickColor(std::uint32_t initial) = 0;
    // A small form of text fields, (label, value) each; the values as edited,
    // nullopt when cancelled (and wherever no form can be shown).
    virtual std::optional<std::vector<std::string>> EditFields(const std::string& caption,
        const std::vector<std::pair<std::string, std::string>>& fields)
    {
        (void)caption;
        (void)fields;
        return std::nullopt;
    }
};

// The installed seam. Until one is installed every call is refused
// (cancelled dialogs, No/Cancel answers), so nothing blocks.
TLxDialogs& Dialogs();
// Installs `d` (not owned) and returns the previous one; nullptr restores the refusing default.
TLxDialogs* SetDialogs(TLxDialogs* d);

// Shorthands for the common plain message box.
void ShowMessage(const std::string& text);

// When `name` exists, asks "File %s already exists. Do you want to replace
// it?" under "Log file..." (definition and log saves share it). True when the
// file is absent or the answer is Yes.
bool ConfirmReplace(const std::string& name);
