// Settings files no program of ours wrote: one far too large, one of binary
// garbage. The window opens either way and loses nothing of them.
#include "tests/support/ScriptedDialogs.h"
#include "ui/Main.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

#include <memory>
#include <unistd.h>

namespace {

const char* const Ini = "Diduvuve.ini";

QByteArray Head(const QString& name, qint64 n)
{
    QFile f(name);
    return f.open(QIODevice::ReadOnly) ? f.read(n) : QByteArray();
}

} // namespace

class TestSettingsBounds : public QObject {
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> tmp;
    QString oldDir;
    std::unique_ptr<ScriptedDialogs> dialogs;

private slots:
    void init()
    {
        tmp = std::make_unique<QTemporaryDir>();
        QVERIFY(tmp->isValid());
        oldDir = QDir::currentPath();
        QDir::setCurrent(tmp->path());
        dialogs = std::make_unique<ScriptedDialogs>();
    }
    void cleanup()
    {
        QDir::setCurrent(oldDir);
        const auto unexpected = dialogs->unexpected;
        dialogs.reset();
        tmp.reset();
        QVERIFY2(unexpected.empty(), unexpected.empty() ? "" : unexpected.front().c_str());
    }

    void aFileTooLargeIsRefusedOnceAndLeftAlone()
    {
        {
            QFile f(Ini);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("[FORM]\r\nWidth=700\r\n");
        }
        // Sparse: twenty megabytes that take no room on disk.
        QCOMPARE(::truncate(Ini, 20 << 20), 0);
        auto w = std::make_unique<TfrmMain>();
        QCOMPARE(dialogs->Messages().size(), std::size_t(1));
        QVERIFY(QString::fromStdString(dialogs->Messages()[0]).contains("is too large to be read"));
        QVERIFY(w->width() != 700);
        QVERIFY(w->close());
        w.reset();
        QCOMPARE(dialogs->Messages().size(), std::size_t(1)); // not again at the close
        QCOMPARE(QFileInfo(Ini).size(), qint64(20) << 20);
        QCOMPARE(Head(Ini, 8), QByteArray("[FORM]\r\n"));
    }

    // A disk that fails the settings write at the close says nothing.
    void aDiskErrorAtCloseIsSilent()
    {
        auto w = std::make_unique<TfrmMain>();
        rlimit old{};
        getrlimit(RLIMIT_FSIZE, &old);
        const auto oldSignal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = old;
        small.rlim_cur = 64;
        setrlimit(RLIMIT_FSIZE, &small);
        const bool closed = w->close();
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldSignal);
        QVERIFY(closed);
        QVERIFY(dialogs->Messages().empty());
    }

    void binaryGarbageOpensWithDefaultsAndIsKept()
    {
        QByteArray junk;
        for (int i = 0; i < 4096; ++i) junk += char((i * 131 + 7) % 256 == '\n' ? 0 : (i * 131 + 7) % 256);
        junk.replace('\r', '\0');
        {
            QFile f(Ini);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(junk);
        }
        auto w = std::make_unique<TfrmMain>();
        QVERIFY(dialogs->Messages().empty());
        QVERIFY(w->close());
        w.reset();
        const QByteArray file = Head(Ini, 1 << 20);
        QVERIFY(file.startsWith(junk + "\r\n"));
        QVERIFY(file.contains("\r\n[FORM]\r\n"));
    }
};

QTEST_MAIN(TestSettingsBounds)
#include "test_settings_bounds.moc"
