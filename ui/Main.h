#pragma once
// The main window: menus, transport tool bar, the five pages, and the run
// state shared by acquisition, decoding and the document commands.
#include "decode/Aldl.h"
#include "decode/Hex.h"
#include "definitions/Persist.h"
#include "link/BusLink.h"
#include "link/LinkKeeper.h"
#include "link/LogFile.h"
#include "link/ReplayCursor.h"
#include "ui/Chart.h"

#include <QMainWindow>
#include <array>
#include <cstdint>
#include <optional>
#include <string>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QSplitter;
class QTabWidget;
class QToolBar;
class QToolButton;
class QPushButton;
class TLxSgrid;
class TLxStatusBar;
class TfrmGridLines;
class TLxReplayBar;
class TLxLogAnalysis;
class QTimer;

extern const char* const MainTitle; // "ALDL 8192 baud Analyser"
// A transport caption with its picture (w rewind, s stop, p pause, a advance,
// b back, y play, r record), drawn into one image.
QIcon TransportIcon(const QString& caption, const QFont& font, char kind);

class TfrmMain : public QMainWindow {
    Q_OBJECT
public:
    explicit TfrmMain(QWidget* parent = nullptr);
    ~TfrmMain() override;

    // Word bits of a frame; throws ERangeError for a start byte outside 1..last+1.
    std::int32_t rawByte(const std::uint8_t* buf, int last, std::int32_t startByte, std::int32_t startBit,
                         std::int32_t bits) const;
    // Rebuilds decoders, table rows, chart ranges and trace names from sgAldl.
    void SetUpDisplays();
    // The decoding half of a frame: tables, fail counts, flag texts, chart samples.
    void DecodeFrame(const FrameBuffer& frame, int count);
    // One frame: source, stamp, log, raw view, decode. False when a replay has no line left.
    bool DoAldlPacket();

    // Transport commands.
    void btnRecordClick();
    void btnPlayClick();
    void btnPauseClick();
    void btnAdvanceClick();
    void btnStopClick();
    void btnRewindClick();
    void loop(bool single);
    bool OpenComs();
    bool CloseComs();
    void Logging1Click();
    bool SetPlayFile();

    // Page and display commands.
    void ALDL2Click();
    void Stream1Click();
    void Charts1Click();
    void Malf1Click();
    void RawALDLData1Click();
    void Hexidecimal1Click();
    void ResetFailCounts1Click();
    void Help2Click();
    void OBDII1Click();
    void About1Click();

    // Document commands.
    void New1Click();
    void Open1Click();
    // An ADX file as a new, unsaved definition, with its import report.
    void ImportAdx1Click();
    // The header fields from the definition's header information.
    void ShowInfo();
    void Save1Click();
    void SaveAs1Click();
    void Exit1Click();
    void btnEditClick();
    void btnDelClick();
    void EditWord();
    void SaveInfo();
    // The document part of closing: SaveInfo, the unsaved question, the title. False keeps the window open.
    bool DocumentCloseQuery();
    // "ALDL 8192 baud Analyser - " and the definition's file name.
    void ShowDocumentTitle();
    void sgAldlRowMoved(int fromIndex, int toIndex);

    // Settings file and the chart context menu.
    // False when a value was not an integer: that key takes its default, the
    // others are read all the same, and the first such value is reported once.
    bool ReadSettings();
    void WriteSettings();
    void DefaultcolorsClick();
    void GridlinesClick();
    void GridColorClick();
    void LabelcolorClick();
    void Series1colorClick();
    void Series2colorClick();
    void Series3colorClick();
    void Series4colorClick();
    void BackgroundcolorClick();

    // Replay steering: the position bar, the pace and Back one frame.
    void btnBackClick();
    // Goes on from the first frame at or after `ms` of the log's own time;
    // while paused, that frame is shown at once.
    void SeekReplay(std::int64_t ms);
    void SetPace(int speed); // 0 the interval; 1, 2, 4, 8 the stamps' pace
    bool ReplayHold();
    bool ReadReplayLine(FrameBuffer& frame, int& count, std::int32_t& stamp);
    std::int32_t ReplayWaitMs(std::int32_t interval);
    void ReplayOpened();
    void ReplayClosed();
    void ReadReplaySettings();
    void WriteReplaySettings();
    // The Log Analysis page: every frame shown goes to it too.
    void AnalyseFrame(const FrameBuffer& frame, int count, std::int32_t stamp);
    // The page follows the definition's words (and its saved choices).
    void UpdateAnalysisDefinition();
    void StoreAnalysisChoices();

    TLxChart* Chart(int n) const { return n == 1 ? chart1 : n == 2 ? chart2 : n == 3 ? chart3 : nullptr; }

    // Controls, by their names.
    QToolBar* ToolBar1 = nullptr;
    QToolButton *btnRewind = nullptr, *btnStop = nullptr, *btnPause = nullptr, *btnAdvance = nullptr,
                *btnPlay = nullptr, *btnRecord = nullptr;
    QLabel* Image1 = nullptr;
    QTabWidget* tabMain = nullptr;
    QWidget *aldl = nullptr, *Stream = nullptr, *Charts = nullptr, *Malf = nullptr, *Raw = nullptr;
    QLineEdit *txtTitle = nullptr, *txtCountry = nullptr, *txtVin = nullptr, *txtLitres = nullptr,
              *txtYear = nullptr, *txtEcm = nullptr, *txtPromID = nullptr, *txtRequest = nullptr,
              *txtInterval = nullptr, *txtCom = nullptr, *txtSend = nullptr;
    QComboBox *cbInject = nullptr, *cbTrans = nullptr;
    QCheckBox* chkEcho = nullptr;
    QPushButton *btnEdit = nullptr, *btnDel = nullptr;
    TLxSgrid *sgAldl = nullptr, *sgData = nullptr, *sgMalf = nullptr;
    TLxChart *chart1 = nullptr, *chart2 = nullptr, *chart3 = nullptr;
    QSplitter* Splitter1 = nullptr; // chart1 above Splitter2
    QSplitter* Splitter2 = nullptr; // chart2 above chart3
    QMenu* popChart = nullptr;
    QAction *Defaultcolors = nullptr, *Gridlines = nullptr, *GridColor = nullptr, *Labelcolor = nullptr,
            *Series1color = nullptr, *Series2color = nullptr, *Series3color = nullptr, *Series4color = nullptr,
            *Backgroundcolor = nullptr;
    QPlainTextEdit* memRecv = nullptr;
    TLxStatusBar* StatusBar1 = nullptr;
    QToolBar* ToolBar2 = nullptr; // the replay's position bar and pace, below ToolBar1
    TLxReplayBar* pnlReplay = nullptr;
    QComboBox* cbPace = nullptr;
    QToolButton* btnBack = nullptr;
    QAction* Back1 = nullptr;
    TReplayCursor replayCursor;
    TLxLogAnalysis* pnlAnalysis = nullptr; // the "Log Analysis" page
    QAction* Analysis1 = nullptr;          // Shift+F12 shows it
    QMenu *File1 = nullptr, *View1 = nullptr, *Aldl1 = nullptr, *Help1 = nullptr;
    QAction *New1 = nullptr, *Open1 = nullptr, *Save1 = nullptr, *SaveAs1 = nullptr, *Exit1 = nullptr,
            *ImportAdx1 = nullptr;
    QAction *Editor1 = nullptr, *Stream1 = nullptr, *Charts1 = nullptr, *Malf1 = nullptr,
            *RawALDLData1 = nullptr;
    QAction *Logging1 = nullptr, *Rewind1 = nullptr, *Stop1 = nullptr, *Pause1 = nullptr,
            *Advance1 = nullptr, *Play1 = nullptr, *Record1 = nullptr, *Hexidecimal1 = nullptr,
            *ResetFailCounts1 = nullptr;
    QAction *Help2 = nullptr, *ALDLConnector1 = nullptr, *About1 = nullptr;

    // Run state.
    bool playing = false;
    bool reading = false;
    bool running = false;
    bool comsOpen = false;
    std::int64_t startTime = 0; // monotonic milliseconds at the start of the run
    TLogWriter logFile;
    TLogReader playFile;
    LinkKeeper linkKeeper; // a live run that lost its device waits for it here
    TBusLink busLink;      // the definition's link settings at work during a live run
    // Aldl > "Check Cable and Car..." and the editor page's link settings.
    void CheckCableClick();
    void LinkSettingsClick();
    QAction* CheckCable1 = nullptr;
    // Link settings edited but not saved yet, for the file they were edited in.
    std::optional<TLinkSettings> linkEdit;
    std::string linkEditFile;
    QPushButton* btnLink = nullptr;
    TAldl Aldl;
    TLxPersist Settings;
    // Where the settings file lives: the current directory at start-up, so
    // a later change of directory neither loses nor misplaces it.
    std::string SettingsPath;
    int PopupChart = 0;
    bool rowDeleting = false;

    QMenu* createPopupMenu() override;

protected:
    void closeEvent(QCloseEvent* e) override;
    void showEvent(QShowEvent* e) override;

private:
    void BuildMenus();
    void BuildToolBar();
    void BuildPages();
    void BuildChartMenu();
    void BuildStatusBar();
    void BuildReplayControls();
    void UpdateReplayBar();
    void ShowReplayFrame();
    void BuildAnalysisPage();
    std::string analysisWords_;
    bool analysisLive_ = false;
    QTimer* indexTimer_ = nullptr;
    bool paced_ = false;
    void BuildLinkCommands();
    // 580 for the pages, plus the status bar below them.
    int DefaultHeight() const;
    void SetChartHeights(int split1, int split2);
    void PickChartColor(void (TLxChartColors::*set)(std::uint32_t), std::uint32_t (TLxChartColors::*get)() const);
    QWidget* BuildEditorPage();
    void SetRunState(int state); // 0 Idle, 1 Running, 2 Paused
    void FailCountUp(TLxSgrid* grid, int col, int row);
    int loopDepth_ = 0;
    bool shownOnce_ = false;
    std::array<int, 2> splitHeights_{127, 257};
    TfrmGridLines* ownGridLines_ = nullptr; // only when the program made none
};
