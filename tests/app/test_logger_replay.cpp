// A logger's file replayed in the window shows what a live run of the window
// showed for the same frames: raw values, values, flag texts and fail counts.
#include "definitions/Sgrid.h"
#include "link/LogFile.h"
#include "tests/support/EcmSim.h"
#include "tests/support/ScriptedDialogs.h"
#include "tests/support/WindowFixture.h"
#include "ui/Main.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <memory>

#include <csignal>
#include <fstream>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::vector<std::string> Cells(TfrmMain& w)
{
    std::vector<std::string> cells;
    for (TLxSgrid* g : {w.sgData, w.sgMalf})
        for (int r = 1; r < g->RowCount(); ++r)
            for (int c = 0; c < g->ColCount(); ++c) cells.push_back(g->Cells(c, r));
    return cells;
}

int LineCount(const std::string& file)
{
    std::ifstream in(file, std::ios::binary);
    return static_cast<int>(std::count(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>(), '\n'));
}

// Runs the logger to its end (at most 30 s); its exit status.
int RunLogger(const std::vector<std::string>& args)
{
    std::vector<std::string> a = {LOGGER_PATH};
    a.insert(a.end(), args.begin(), args.end());
    const pid_t pid = fork();
    if (pid == 0) {
        std::vector<char*> argv;
        for (auto& s : a) argv.push_back(s.data());
        argv.push_back(nullptr);
        execv(argv[0], argv.data());
        _exit(127);
    }
    for (int i = 0; i < 3000; ++i) {
        int st = 0;
        if (waitpid(pid, &st, WNOHANG) == pid) return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
        usleep(10000);
    }
    kill(pid, SIGKILL);
    waitpid(pid, nullptr, 0);
    return -1;
}

} // namespace

class TestLoggerReplay : public QObject {
    Q_OBJECT

private slots:
    void replayOfTheLoggersFileShowsWhatALiveRunShowed()
    {
        WindowFixture fx(EXAMPLES_DIR "/ecmsim.ald");
        TfrmMain* w = fx.w;
        ScriptedDialogs& dialogs = fx.dialogs;
        w->txtInterval->setText("0");

        // A live run of the window, recorded.
        const std::string windowLog = fx.Tmp("window.alg");
        std::vector<std::string> live;
        {
            EcmSim sim({"--seed", "9", "--no-pace"});
            dialogs.QueueFile(windowLog);
            w->Logging1Click();
            QTimer::singleShot(500, w, [&] { w->btnStopClick(); });
            QTimer::singleShot(15000, w, [&] { w->btnStopClick(); });
            w->btnRecordClick();
            w->Logging1Click();
            live = Cells(*w);
        }
        const int frames = LineCount(windowLog);
        QVERIFY(frames > 3);

        // The logger against the same simulated engine, for as many frames.
        const std::string out = fx.Tmp("logger");
        QVERIFY(QDir().mkpath(QString::fromStdString(out)));
        {
            EcmSim sim({"--seed", "9", "--no-pace"});
            QCOMPARE(RunLogger({"--com", std::to_string(sim.Com()), "--out", out, "--frames", std::to_string(frames),
                                EXAMPLES_DIR "/ecmsim.ald"}),
                     0);
        }
        const QStringList logs = QDir(QString::fromStdString(out)).entryList({"*.alg"});
        QCOMPARE(logs.size(), 1);

        // Replayed in a fresh set-up of the same window.
        w->SetUpDisplays();
        dialogs.QueueFile(out + "/" + logs[0].toStdString());
        QTimer::singleShot(15000, w, [&] { w->btnStopClick(); });
        w->btnPlayClick(); // ends by itself at the end of the log
        QVERIFY(!w->playing);
        QCOMPARE(Cells(*w), live);

        QVERIFY2(fx.Unexpected().empty(), fx.Unexpected().c_str());
    }
};

QTEST_MAIN(TestLoggerReplay)
#include "test_logger_replay.moc"
