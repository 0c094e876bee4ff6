// The window's side of a chattering bus: the definition's link settings and
// the cable check, both reached from the editor page and the Aldl menu.
#include "decode/Hex.h"
#include "definitions/Dialogs.h"
#include "definitions/QtText.h"
#include "definitions/Sgrid.h"
#include "link/Probe.h"
#include "serilink/serilink.h"
#include "ui/Main.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QGridLayout>
#include <QLineEdit>
#include <QMenu>
#include <QProgressDialog>
#include <QPushButton>

namespace {

const char* const kKeys[] = {"Silence", "SilenceRepeat", "SilenceGap", "QuietWait", "QuietTimeout", "Renew",
                             "Foreign", "Resume"};

} // namespace

void TfrmMain::BuildLinkCommands()
{
    Aldl1->addSeparator();
    CheckCable1 = Aldl1->addAction(QString::fromUtf8("Check Cable and Car\u2026"));
    CheckCable1->setObjectName("CheckCable1");
    connect(CheckCable1, &QAction::triggered, this, [this] { CheckCableClick(); });

    // Beside the request the settings belong to.
    QWidget* page = chkEcho->parentWidget();
    btnLink = new QPushButton("&Link Settings...", page);
    btnLink->setObjectName("btnLink");
    btnLink->setToolTip("How a run copes with other modules talking on the line");
    if (QLayout* v = page->layout())
        if (auto* grid = qobject_cast<QGridLayout*>(v->itemAt(0)->layout())) grid->addWidget(btnLink, 4, 4, 1, 2);
    connect(btnLink, &QPushButton::clicked, this, [this] { LinkSettingsClick(); });

    // The store reads the file again before every save; an edit lives here
    // until then, and is dropped once another file is the document.
    sgAldl->AfterStore = [this](TLxPersist& store) {
        if (!linkEdit) return;
        if (store.FileName != linkEditFile) linkEdit.reset();
        else WriteLinkSettings(store, *linkEdit);
    };
}

static void KeepLinkEdit(TfrmMain& w, const TLinkSettings& s)
{
    w.linkEdit = s;
    w.linkEditFile = w.sgAldl->Store().FileName;
    WriteLinkSettings(w.sgAldl->Store(), s);
    w.sgAldl->Store().SetModified(true);
}

void TfrmMain::LinkSettingsClick()
{
    TLxPersist& store = sgAldl->Store();
    const TLinkSettings s = ReadLinkSettings(store);
    const std::vector<std::pair<std::string, std::string>> fields = {
        {kKeys[0], s.Silence},
        {kKeys[1], std::to_string(s.SilenceRepeat)},
        {kKeys[2], std::to_string(s.SilenceGap)},
        {kKeys[3], std::to_string(s.QuietWait)},
        {kKeys[4], std::to_string(s.QuietTimeout)},
        {kKeys[5], std::to_string(s.Renew)},
        {kKeys[6], s.SkipForeign ? "skip" : "fail"},
        {kKeys[7], s.Resume},
    };
    const auto edited = Dialogs().EditFields("Link Settings", fields);
    if (!edited || edited->size() != fields.size()) return;
    // Read back as a file would be: a bad value takes its default.
    TLxPersist typed;
    typed.Lines = {LinkSection};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        // QuietWait, left as shown where the file does not name it, stays unnamed.
        if (i == 3 && !s.QuietWaitSet && (*edited)[i] == fields[i].second) continue;
        typed.WriteString(LinkSection, kKeys[i], (*edited)[i]);
    }
    const TLinkSettings n = ReadLinkSettings(typed);
    if (n == s) return;
    KeepLinkEdit(*this, n);
}

void TfrmMain::CheckCableClick()
{
    if (reading || playing) {
        ShowMessage("Stop the run first: the check needs the line to itself.");
        return;
    }
    if (!OpenComs()) return;
    QProgressDialog progress("Listening to the line...", "Cancel", 0, 0, this);
    progress.setObjectName("dlgCheckCable");
    progress.setWindowTitle(QString::fromUtf8("Check Cable and Car\u2026"));
    progress.setMinimumDuration(0);
    progress.show();
    TProbeHooks hooks;
    hooks.Cancelled = [&progress] {
        QCoreApplication::processEvents();
        return progress.wasCanceled();
    };
    hooks.Progress = [&progress](const std::string& text) { progress.setLabelText(Latin1(text + "...")); };
    const TProbeReport report = RunProbe(3000, hooks);
    const bool cancelled = progress.wasCanceled(); // closing the dialog counts as cancelling
    progress.close();
    CloseComs();
    if (cancelled) return;
    const std::string text = report.Text() + "\nApply these findings to the definition (echo, request ID, link settings)?";
    if (Dialogs().Message(text, "Check Cable and Car", MsgButtons::YesNo, MsgKind::Information) != MsgAnswer::Yes)
        return;
    // An edit like any other: the user may still refuse to save it.
    chkEcho->setChecked(report.Echo);
    if (report.EcmId >= 0) txtRequest->setText(Latin1(ProbeRequestText(Latin1Of(txtRequest->text()), report.EcmId)));
    const TLinkSettings link = report.Link();
    if (link.Present) KeepLinkEdit(*this, link);
    SaveInfo();
    sgAldl->Store().SetModified(true);
}
