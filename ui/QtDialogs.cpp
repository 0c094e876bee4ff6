#include "ui/QtDialogs.h"

#include <QApplication>
#include <QColorDialog>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLineEdit>
#include <QFileDialog>
#include <QMessageBox>

namespace {

ModalHook& Hook()
{
    static ModalHook hook;
    return hook;
}

QString Q(const std::string& s) { return QString::fromLocal8Bit(s.data(), static_cast<qsizetype>(s.size())); }

std::optional<std::string> RunFileDialog(QFileDialog::AcceptMode mode, const std::string& filter,
                                         const std::string& ext)
{
    QFileDialog dlg(QApplication::activeWindow());
    dlg.setAcceptMode(mode);
    dlg.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile : QFileDialog::AnyFile);
    dlg.setNameFilter(Q(QtFilterOf(filter)));
    dlg.setDefaultSuffix(Q(ext));
    // The replace question is the caller's, with its own caption.
    dlg.setOption(QFileDialog::DontConfirmOverwrite, true);
    if (ExecModal(dlg) != QDialog::Accepted || dlg.selectedFiles().isEmpty()) return {};
    QByteArray name = dlg.selectedFiles().front().toLocal8Bit();
    return std::string(name.constData(), static_cast<std::size_t>(name.size()));
}

} // namespace

std::string QtFilterOf(const std::string& filter)
{
    std::string out;
    std::size_t p = 0;
    // Pairs of "description|pattern", themselves joined by "|".
    while (p < filter.size()) {
        std::size_t bar = filter.find('|', p);
        std::string desc = filter.substr(p, bar == std::string::npos ? std::string::npos : bar - p);
        std::string pat;
        if (bar != std::string::npos) {
            std::size_t next = filter.find('|', bar + 1);
            pat = filter.substr(bar + 1, next == std::string::npos ? std::string::npos : next - bar - 1);
            p = next == std::string::npos ? filter.size() : next + 1;
        } else {
            p = filter.size();
        }
        for (char& c : pat)
            if (c == ';') c = ' ';
        if (!out.empty()) out += ";;";
        out += desc + " (" + (pat.empty() ? "*" : pat) + ")";
    }
    return out;
}

std::optional<std::string> TLxQtDialogs::OpenFileName(const std::string& filter, const std::string& ext)
{
    return RunFileDialog(QFileDialog::AcceptOpen, filter, ext);
}

std::optional<std::string> TLxQtDialogs::SaveFileName(const std::string& filter, const std::string& ext)
{
    return RunFileDialog(QFileDialog::AcceptSave, filter, ext);
}

MsgAnswer TLxQtDialogs::Message(const std::string& text, const std::string& caption, MsgButtons buttons,
                                MsgKind kind)
{
    QMessageBox box(QApplication::activeWindow());
    box.setWindowTitle(Q(caption));
    box.setText(Q(text));
    box.setIcon(kind == MsgKind::Error     ? QMessageBox::Critical
                : kind == MsgKind::Warning ? QMessageBox::Warning
                : kind == MsgKind::Question ? QMessageBox::Question
                                            : QMessageBox::Information);
    switch (buttons) {
    case MsgButtons::Ok: box.setStandardButtons(QMessageBox::Ok); break;
    case MsgButtons::YesNo: box.setStandardButtons(QMessageBox::Yes | QMessageBox::No); break;
    case MsgButtons::YesNoCancel:
        box.setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
        break;
    }
    ExecModal(box);
    QAbstractButton* clicked = box.clickedButton();
    QMessageBox::StandardButton b = clicked ? box.standardButton(clicked) : QMessageBox::NoButton;
    if (b == QMessageBox::Yes) return MsgAnswer::Yes;
    if (b == QMessageBox::No) return MsgAnswer::No;
    if (b == QMessageBox::Ok) return MsgAnswer::Ok;
    // Closed by Escape or the window frame.
    return buttons == MsgButtons::Ok ? MsgAnswer::Ok : buttons == MsgButtons::YesNo ? MsgAnswer::No : MsgAnswer::Cancel;
}

std::optional<std::uint32_t> TLxQtDialogs::PickColor(std::uint32_t)
{
    // The dialog opens with the last colour chosen in it, not the chart's.
    QColorDialog dlg(QColor(lastColor_ & 0xFF, lastColor_ >> 8 & 0xFF, lastColor_ >> 16 & 0xFF),
                     QApplication::activeWindow());
    if (ExecModal(dlg) != QDialog::Accepted) return {};
    QColor c = dlg.selectedColor();
    lastColor_ = static_cast<std::uint32_t>(c.red()) | static_cast<std::uint32_t>(c.green()) << 8 |
                 static_cast<std::uint32_t>(c.blue()) << 16;
    return lastColor_;
}

std::optional<std::vector<std::string>> TLxQtDialogs::EditFields(const std::string& caption,
    const std::vector<std::pair<std::string, std::string>>& fields)
{
    QDialog dlg(QApplication::activeWindow());
    dlg.setObjectName("dlgFields");
    dlg.setWindowTitle(Q(caption));
    auto* form = new QFormLayout(&dlg);
    std::vector<QLineEdit*> edits;
    for (const auto& [label, value] : fields) {
        auto* e = new QLineEdit(Q(value), &dlg);
        e->setObjectName(Q(label));
        e->setMinimumWidth(220);
        form->addRow(Q(label + ":"), e);
        edits.push_back(e);
    }
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dlg);
    QObject::connect(buttons, &QDialogButtonBox::accepted, &dlg, &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, &dlg, &QDialog::reject);
    form->addRow(buttons);
    if (ExecModal(dlg) != QDialog::Accepted) return std::nullopt;
    std::vector<std::string> out;
    for (QLineEdit* e : edits) out.push_back(e->text().toLocal8Bit().toStdString());
    return out;
}

int ExecModal(QDialog& dlg)
{
    if (Hook()) return Hook()(dlg);
    return dlg.exec();
}

ModalHook SetModalHook(ModalHook hook)
{
    ModalHook old = std::move(Hook());
    Hook() = std::move(hook);
    return old;
}
