#pragma once
// The Qt side of the dialog seam, and the hook every modal Qt dialog is
// shown through so tests can answer it without a user.
#include "definitions/Dialogs.h"

#include <functional>

class QDialog;

class TLxQtDialogs : public TLxDialogs {
public:
    std::optional<std::string> OpenFileName(const std::string& filter, const std::string& defaultExt) override;
    std::optional<std::string> SaveFileName(const std::string& filter, const std::string& defaultExt) override;
    MsgAnswer Message(const std::string& text, const std::string& caption, MsgButtons buttons,
                      MsgKind kind) override;
    std::optional<std::uint32_t> PickColor(std::uint32_t initial) override;
    std::optional<std::vector<std::string>> EditFields(const std::string& caption,
        const std::vector<std::pair<std::string, std::string>>& fields) override;

private:
    std::uint32_t lastColor_ = 0;
};

// Shows `dlg` modally and returns its result (QDialog::Accepted/Rejected).
int ExecModal(QDialog& dlg);
using ModalHook = std::function<int(QDialog&)>;
// Replaces how modal dialogs are shown; an empty hook restores QDialog::exec. Returns the old hook.
ModalHook SetModalHook(ModalHook hook);

// "ALDL log file|*.alg" -> "ALDL log file (*.alg)"
std::string QtFilterOf(const std::string& filter);
