// Soak: the window reads and records for a long time from a simulated ECM
// that mixes every fault at random and now and then hangs up (a new one then
// comes up on the same link). Every frame the ECM answered well must be in
// the log once and in order, no failed exchange may be, the window must keep
// answering, and memory must not creep.
//
// DIDUVUVE_SOAK_SECONDS sets the length (60), DIDUVUVE_SOAK_SEED the seed (1),
// DIDUVUVE_SOAK_KEEP a folder to keep the simulator's record and the log in.
#include "tests/link/RunCheck.h"
#include "tests/support/EcmSim.h"
#include "tests/support/ScriptedDialogs.h"
#include "ui/Main.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <unistd.h>

#if defined(__SANITIZE_ADDRESS__)
#define SOAK_UNDER_ASAN 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define SOAK_UNDER_ASAN 1
#endif
#endif

namespace {

std::int64_t Ms()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

long EnvLong(const char* name, long fallback)
{
    const char* v = std::getenv(name);
    char* end = nullptr;
    const long n = v ? std::strtol(v, &end, 10) : 0;
    return v && *v && !*end && n > 0 ? n : fallback;
}

// Resident memory in bytes.
long long Resident()
{
    long long pages = 0, resident = 0;
    if (std::FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%lld %lld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return resident * sysconf(_SC_PAGESIZE);
}

} // namespace

class TestSoak : public QObject {
    Q_OBJECT

private slots:
    void soak()
    {
        const long seconds = EnvLong("DIDUVUVE_SOAK_SECONDS", 60);
        const long seed = EnvLong("DIDUVUVE_SOAK_SEED", 1);
        // memory is compared from the end of the first minute, or of the
        // first third of a shorter run
        const std::int64_t baselineAt = std::min<std::int64_t>(60000, seconds * 1000 / 3);

        QTemporaryDir tmp;
        const QString oldDir = QDir::currentPath();
        QDir::setCurrent(tmp.path());
        const std::string rec = tmp.filePath("sent.txt").toStdString();
        const std::string log = tmp.filePath("soak.alg").toStdString();
        ScriptedDialogs dialogs;
        auto w = std::make_unique<TfrmMain>();
        dialogs.QueueFile(EXAMPLES_DIR "/ecmsim.ald");
        w->Open1Click();
        w->txtInterval->setText("0");
        w->RawALDLData1Click();
        dialogs.QueueFile(log);
        w->Logging1Click();
        QVERIFY(w->Logging1->isChecked());

        int sims = 0;
        auto start = [&] {
            return std::make_unique<EcmSim>(std::vector<std::string>{
                "--no-pace", "--quiet", "--mix", "30", "--mix-hangup", "500", "--seed",
                std::to_string(seed + sims++), "--record", rec});
        };
        auto sim = start();

        const std::int64_t t0 = Ms();
        std::int64_t last = t0, longest = 0, longestAt = 0;
        long long memBase = 0, memStart = 0;
        QString pauses;
        QTimer tick;
        connect(&tick, &QTimer::timeout, this, [&] {
            const std::int64_t now = Ms();
            if (now - last > longest) {
                longest = now - last;
                longestAt = now - t0;
            }
            if (now - last > 150) pauses += QString(" %1s:%2ms").arg((last - t0) / 1000.0, 0, 'f', 1).arg(now - last);
            if (!memStart) memStart = Resident();
            if (!memBase && now - t0 >= baselineAt) memBase = Resident();
            if (now - t0 >= seconds * 1000) w->btnStopClick();
            else if (sim->WaitExit(0) >= 0) {
                sim.reset(); // it hung up: plug a new one in
                sim = start();
            }
            last = Ms(); // time spent here is not the window's
        });
        tick.start(50);
        w->btnRecordClick();
        tick.stop();
        const long long memEnd = Resident();
        w->Logging1Click();
        sim.reset();

        const auto record = ReadRecord(rec);
        const auto expected = FramesToLog(record);
        const auto logged = ReadLoggedFrames(log);
        const auto kinds = KindCounts(record);
        QString faults;
        for (const auto& [kind, n] : kinds) faults += QString(" %1=%2").arg(QString::fromStdString(kind)).arg(n);
        qInfo("soak %lds seed %ld: %zu replies, %zu frames logged, %d simulators;%s", seconds, seed, record.size(),
              logged.size(), sims, qPrintable(faults));
        qInfo("memory %.1f MB at start, %.1f MB at %.0f s, %.1f MB at the end; longest pause %lld ms at %.1f s",
              memStart / 1048576.0, memBase / 1048576.0, baselineAt / 1000.0, memEnd / 1048576.0,
              static_cast<long long>(longest), longestAt / 1000.0);

        if (!pauses.isEmpty()) qInfo("pauses over 150 ms:%s", qPrintable(pauses));
        if (const char* keep = std::getenv("DIDUVUVE_SOAK_KEEP")) // a folder for the record and the log
            for (const QString& f : {QString::fromStdString(rec), QString::fromStdString(log)})
                QFile::copy(f, QString(keep) + "/" + QFileInfo(f).fileName());
        long excused = 0;
        const std::string diff = CompareLog(logged, expected, &excused);
        qInfo("%ld good frames missing right after a stall of the simulator", excused);
        QVERIFY2(diff.empty(), diff.c_str());
        QVERIFY(expected.size() > 100);
        for (const char* kind : {"no-echo", "short-echo", "wrong-echo", "drop", "short", "length", "garbage"})
            QVERIFY2(kinds.count(kind), kind);
        QVERIFY2(longest < 500, qPrintable(QString("the window did not answer for %1 ms").arg(longest)));
#ifndef SOAK_UNDER_ASAN // the sanitizer's quarantine holds freed memory on purpose
        QVERIFY2(memEnd - memBase < 2 * 1048576,
                 qPrintable(QString("memory grew by %1 kB").arg((memEnd - memBase) / 1024)));
#endif
        QVERIFY(dialogs.Messages().empty());
        w.reset();
        QDir::setCurrent(oldDir);
    }
};

int main(int argc, char** argv)
{
    // Qt Test ends a test function after five minutes unless told otherwise.
    const long seconds = EnvLong("DIDUVUVE_SOAK_SECONDS", 60);
    qputenv("QTEST_FUNCTION_TIMEOUT", QByteArray::number((static_cast<qint64>(seconds) + 120) * 1000));
    QApplication app(argc, argv);
    TestSoak test;
    return QTest::qExec(&test, argc, argv);
}
#include "test_soak.moc"
