// Settings files no program of ours wrote: one far too large, one of binary
// garbage. The window opens either way and loses nothing of them.
#include "tests/support/FileSizeLimit.h"
#include "tests/support/WindowFixture.h"
#include "ui/Main.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

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
    std::unique_ptr<TestFolder> fx;
    ScriptedDialogs* dialogs = nullptr;

private slots:
    void init()
    {
        fx = std::make_unique<TestFolder>();
        dialogs = &fx->dialogs;
    }
    void cleanup()
    {
        TestFolder::End(fx);
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
        bool closed = false;
        {
            FileSizeLimit limit(64);
            closed = w->close();
        }
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
