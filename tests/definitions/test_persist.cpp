#include "decode/Errors.h"
#include "definitions/Persist.h"
#include "tests/definitions/TempDir.h"
#include "tests/support/FileSizeLimit.h"
#include "tests/support/ScriptedDialogs.h"

#include <cerrno>
#include <gtest/gtest.h>

#include <filesystem>
#include <sys/stat.h>
#include <unistd.h>

namespace {

using Lines = std::vector<std::string>;

TEST(Persist, LookupsFoldCaseAndStayInsideTheSection)
{
    TLxPersist p;
    p.Lines = {"; note", "[aldl]", "version=1", "NoEquals", "Words=3=x", "[STREAM]", "W1=a", "[Other]", "W2=b"};
    EXPECT_EQ(p.FindSection("[ALDL]"), 1);
    EXPECT_EQ(p.FindSection(" [ALDL]"), -1); // no trimming
    EXPECT_EQ(p.FindSection("[none]"), -1);
    EXPECT_EQ(p.FindKey("[ALDL]", "VERSION"), 2);
    EXPECT_EQ(p.ReadString("[ALDL]", "Version", "0"), "1");
    EXPECT_EQ(p.ReadString("[ALDL]", "Words", "0"), "3=x"); // value after the first "="
    EXPECT_EQ(p.ReadString("[ALDL]", "W1", "none"), "none"); // stops at the next "["
    EXPECT_EQ(p.ReadString("[STREAM]", "W2", "none"), "none");
    EXPECT_EQ(p.ReadString("[Missing]", "W1", "def"), "def");
    // A line without "=" has an empty key and no value.
    EXPECT_EQ(p.FindKey("[ALDL]", ""), 3);
    EXPECT_EQ(p.ReadString("[ALDL]", "", "def"), "def");
    EXPECT_FALSE(p.Modified);
}

TEST(Persist, WriteStringInsertsBelowTheHeaderAndMarksOnlyRealChanges)
{
    TLxPersist p;
    p.WriteString("[A]", "One", "1");
    p.WriteString("[A]", "Two", "2");
    EXPECT_EQ(p.Lines, (Lines{"[A]", "Two=2", "One=1"}));
    EXPECT_TRUE(p.Modified);
    EXPECT_EQ(p.AddSection("[B]"), 4);
    EXPECT_EQ(p.Lines, (Lines{"[A]", "Two=2", "One=1", "", "[B]"}));
    EXPECT_EQ(p.AddSection("[b]"), 4);

    p.Modified = false;
    p.WriteString("[a]", "ONE", "1");
    EXPECT_FALSE(p.Modified);
    EXPECT_EQ(p.Lines[2], "One=1");
    p.WriteString("[a]", "ONE", "x");
    EXPECT_TRUE(p.Modified);
    EXPECT_EQ(p.Lines[2], "ONE=x"); // the line takes the key as written

    p.Modified = false;
    p.WriteString("[A]", "One", "X"); // case matters in values
    EXPECT_TRUE(p.Modified);

    p.Modified = false;
    p.DeleteKey("[A]", "missing");
    EXPECT_FALSE(p.Modified);
    p.DeleteKey("[A]", "two");
    EXPECT_TRUE(p.Modified);
    EXPECT_EQ(p.Lines, (Lines{"[A]", "One=X", "", "[B]"}));
}

TEST(Persist, LineFeedInAValueIsRefusedBeforeAnythingChanges)
{
    TLxPersist p;
    p.Lines = {"[A]", "K=v"};
    EXPECT_THROW(p.WriteString("[A]", "K", "a\nb"), ERangeError);
    EXPECT_THROW(p.WriteString("[New]", "K", "a\nb"), ERangeError);
    EXPECT_EQ(p.Lines, (Lines{"[A]", "K=v"}));
    EXPECT_FALSE(p.Modified);
}

TEST(Persist, LongValuesAreReadWhole)
{
    TLxPersist p;
    std::string v(5000, 'x');
    v += "end";
    p.WriteString("[A]", "K", v);
    EXPECT_EQ(p.ReadString("[A]", "K", ""), v);
    p.Modified = false;
    p.WriteString("[A]", "K", v);
    EXPECT_FALSE(p.Modified);
}

TEST(Persist, LoadSplitsAnyLineEndAndSaveWritesCrLfAfterEveryLine)
{
    TempDir dir;
    std::string in = dir.File("in.ini");
    static const char raw[] = "a\r\nb\n\r\nc\rd\r\n\xff\0z\r\nlast";
    WriteBytes(in, std::string(raw, sizeof raw - 1));
    TLxPersist p;
    ASSERT_TRUE(p.LoadFile(in));
    EXPECT_EQ(p.Lines, (Lines{"a", "b", "", "c\rd", std::string("\xff\0z", 3), "last"}));
    EXPECT_EQ(p.FileName, in);

    std::string out = dir.File("out.ini");
    ASSERT_TRUE(p.SaveFile(out));
    std::string written = ReadBytes(out);
    static const char want[] = "a\r\nb\r\n\r\nc\rd\r\n\xff\0z\r\nlast\r\n";
    EXPECT_EQ(written, std::string(want, sizeof want - 1));

    // What this store wrote comes back byte for byte.
    TLxPersist q;
    ASSERT_TRUE(q.LoadFile(out));
    ASSERT_TRUE(q.SaveFile(dir.File("again.ini")));
    EXPECT_EQ(ReadBytes(dir.File("again.ini")), written);

    WriteBytes(in, "");
    ASSERT_TRUE(p.LoadFile(in));
    EXPECT_TRUE(p.Lines.empty());
}

TEST(Persist, AFileThatCantBeReadChangesNothing)
{
    TempDir dir;
    ScriptedDialogs dialogs;
    TLxPersist p;
    p.Lines = {"[A]", "K=v"};
    p.FileName = "kept";
    p.Modified = true;
    EXPECT_FALSE(p.LoadFile(dir.File("missing.ald")));
    EXPECT_FALSE(p.LoadFile(dir.Path())); // a folder
    dialogs.QueueFile(std::nullopt);
    EXPECT_FALSE(p.LoadFile(""));
    EXPECT_EQ(p.Lines, (Lines{"[A]", "K=v"}));
    EXPECT_EQ(p.FileName, "kept");
    EXPECT_TRUE(p.Modified);
    ASSERT_EQ(dialogs.asked.size(), 1u);
    EXPECT_EQ(dialogs.asked[0].what, "open");
    EXPECT_EQ(dialogs.asked[0].text, "ALDL definitions|*.ald");
    EXPECT_EQ(dialogs.asked[0].caption, "ald");
    EXPECT_TRUE(dialogs.Messages().empty());

    p.FileName.clear();
    EXPECT_TRUE(p.ReloadFile()); // nameless: nothing to re-read
    p.FileName = dir.File("missing.ald");
    EXPECT_FALSE(p.ReloadFile());
}

TEST(Persist, AFileTooLargeToBeRealIsRefusedUnreadAndSaidOnce)
{
    TempDir dir;
    ScriptedDialogs dialogs;
    const std::string big = dir.File("big.ald");
    WriteBytes(big, "[ALDL]\r\nWords=1\r\n");
    // Sparse: forty megabytes that take no room on disk.
    ASSERT_EQ(::truncate(big.c_str(), 40 << 20), 0);
    TLxPersist p;
    p.Lines = {"kept"};
    EXPECT_FALSE(p.LoadFile(big));
    EXPECT_EQ(p.Lines, Lines{"kept"});
    EXPECT_TRUE(p.FileName.empty());
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_EQ(dialogs.Messages()[0], "File " + big +
                                         " is too large to be read (the limits are 16 MiB, 16384 lines and 65536 "
                                         "characters in a line).");
    EXPECT_EQ(p.LoadError, dialogs.Messages()[0]);

    // The line limit counts lines, not line ends.
    const std::string many = dir.File("many.ald");
    WriteBytes(many, std::string(TLxPersist::MaxLines, '\n'));
    ASSERT_TRUE(p.LoadFile(many));
    EXPECT_EQ(p.Lines.size(), TLxPersist::MaxLines);
    EXPECT_TRUE(p.LoadError.empty());
    WriteBytes(many, std::string(TLxPersist::MaxLines, '\n') + "x");
    EXPECT_FALSE(p.LoadFile(many));
    EXPECT_EQ(p.Lines.size(), TLxPersist::MaxLines);
    EXPECT_EQ(dialogs.Messages().size(), 2u);
    // A line may hold at most MaxLineLength bytes, a CR before its LF included.
    WriteBytes(many, "[A]\r\nW1=" + std::string(TLxPersist::MaxLineLength - 3, 'x') + "\r\n");
    EXPECT_FALSE(p.LoadFile(many));
    WriteBytes(many, "[A]\r\nW1=" + std::string(TLxPersist::MaxLineLength - 4, 'x') + "\r\n");
    ASSERT_TRUE(p.LoadFile(many));
    EXPECT_EQ(p.ReadString("[A]", "W1", "").size(), TLxPersist::MaxLineLength - 4);
    EXPECT_EQ(dialogs.Messages().size(), 3u);

    // Nor is such a file ever written: Save refuses it, writing nothing.
    p.Lines = {"[A]", "W1=" + std::string(TLxPersist::MaxLineLength - 4, 'x')};
    EXPECT_TRUE(p.SaveFile(dir.File("fits.ald")));
    p.Lines[1] += "x";
    EXPECT_FALSE(p.SaveFile(dir.File("over.ald")));
    EXPECT_FALSE(std::filesystem::exists(dir.File("over.ald")));
    ASSERT_EQ(dialogs.Messages().size(), 4u);
    EXPECT_NE(dialogs.Messages()[3].find("too large to be read again"), std::string::npos);
    dialogs.asked.pop_back();

    // Re-reading its own file that has grown meanwhile fails without a box.
    WriteBytes(many, "[A]\nK=v\n");
    ASSERT_TRUE(p.LoadFile(many));
    ASSERT_EQ(::truncate(many.c_str(), 17 << 20), 0);
    EXPECT_FALSE(p.ReloadFile());
    EXPECT_EQ(p.Lines, (Lines{"[A]", "K=v"}));
    EXPECT_EQ(dialogs.Messages().size(), 3u);
    EXPECT_FALSE(p.LoadError.empty());
}

TEST(Persist, APipeOrDeviceIsNotReadAndBinaryGarbageIsKeptAsLines)
{
    TempDir dir;
    ScriptedDialogs dialogs;
    TLxPersist p;
    const std::string fifo = dir.File("pipe.ald");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(p.LoadFile(fifo)) << "returns at once, with no writer on the pipe";
    EXPECT_FALSE(p.LoadFile("/dev/zero")) << "a device that never ends";
    EXPECT_TRUE(dialogs.Messages().empty());

    const std::string junk = dir.File("junk.ini");
    WriteBytes(junk, std::string("\0\xff[FORM]\r\r\nWidth\0=1\n\x1a=\x80", 23));
    ASSERT_TRUE(p.LoadFile(junk));
    EXPECT_EQ(p.Lines.size(), 3u);
    EXPECT_EQ(p.ReadString("[FORM]", "Width", "780"), "780");
    EXPECT_TRUE(dialogs.Messages().empty());
}

TEST(Persist, SaveDialogAsksBeforeReplacingAndANamedSaveAsksNothing)
{
    TempDir dir;
    ScriptedDialogs dialogs;
    std::string existing = dir.File("old.ald");
    WriteBytes(existing, "old");
    TLxPersist p;
    p.Lines = {"[A]"};
    p.Modified = true;

    dialogs.QueueFile(std::nullopt);
    EXPECT_FALSE(p.SaveFile(""));
    dialogs.QueueFile(existing);
    dialogs.QueueAnswer(MsgAnswer::No);
    EXPECT_FALSE(p.SaveFile(""));
    EXPECT_EQ(ReadBytes(existing), "old");
    EXPECT_TRUE(p.FileName.empty());
    EXPECT_TRUE(p.Modified);

    dialogs.QueueFile(existing);
    dialogs.QueueAnswer(MsgAnswer::Yes);
    EXPECT_TRUE(p.SaveFile(""));
    EXPECT_EQ(ReadBytes(existing), "[A]\r\n");
    EXPECT_EQ(p.FileName, existing);
    EXPECT_FALSE(p.Modified);

    ASSERT_EQ(dialogs.asked.size(), 5u);
    EXPECT_EQ(dialogs.asked[0].what, "save");
    EXPECT_EQ(dialogs.asked[0].text, "ALDL definitions|*.ald");
    EXPECT_EQ(dialogs.asked[2].text, "File " + existing + " already exists. Do you want to replace it?");
    EXPECT_EQ(dialogs.asked[2].caption, "Log file...");
    EXPECT_EQ(dialogs.asked[2].buttons, MsgButtons::YesNo);

    // A new file from the dialog needs no prompt, nor does a given name.
    dialogs.QueueFile(dir.File("new.ald"));
    EXPECT_TRUE(p.SaveFile(""));
    EXPECT_TRUE(p.SaveFile(existing));
    EXPECT_EQ(dialogs.asked.size(), 6u);
    EXPECT_TRUE(dialogs.unexpected.empty());

    // Not modified: nothing is written and nothing asked, even without a name.
    p.FileName.clear();
    EXPECT_TRUE(p.SaveIfModified());
    EXPECT_EQ(dialogs.asked.size(), 6u);
}

TEST(Persist, AFileThatCantBeCreatedGivesFalseQuietly)
{
    TempDir dir;
    ScriptedDialogs dialogs;
    TLxPersist p;
    p.Lines = {"[A]"};
    p.FileName = "before.ald";
    p.Modified = true;
    EXPECT_FALSE(p.SaveFile(dir.File("no/such/folder.ald")));
    EXPECT_FALSE(p.SaveFile(dir.Path())); // a folder in the way
    EXPECT_EQ(p.FileName, "before.ald");
    EXPECT_TRUE(p.Modified);
    EXPECT_TRUE(dialogs.asked.empty());
    EXPECT_EQ(dir.Entries(), 0);
}

TEST(Persist, AWriteErrorIsReportedAndTheOldFileStaysWhole)
{
    TempDir dir;
    ScriptedDialogs dialogs;
    std::string name = dir.File("def.ald");
    WriteBytes(name, "[ALDL]\r\nWords=1\r\n");
    TLxPersist p;
    ASSERT_TRUE(p.LoadFile(name));
    for (int i = 0; i < 200; ++i) p.WriteString("[STREAM]", "W" + std::to_string(i), std::string(40, 'v'));
    {
        FileSizeLimit limit(1000);
        EXPECT_FALSE(p.SaveFile(name));
    }
    EXPECT_EQ(ReadBytes(name), "[ALDL]\r\nWords=1\r\n");
    EXPECT_TRUE(p.Modified);
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_NE(dialogs.Messages()[0].find("I/O error writing " + name), std::string::npos);
    EXPECT_EQ(dir.Entries(), 1); // no temporary file left behind
    EXPECT_TRUE(p.SaveFile(name));
    EXPECT_GT(ReadBytes(name).size(), 8000u);
}

// With no room for a temporary file beside it (here its name would be too
// long; on a real disk, a folder the user may not write), the file is
// written in place and keeps its mode.
TEST(Persist, NoTemporaryFileMeansWritingInPlace)
{
    TempDir dir;
    ScriptedDialogs dialogs;
    const std::string name = dir.File(std::string(240, 'd') + ".ald");
    WriteBytes(name, "old content that is longer\r\n");
    ::chmod(name.c_str(), 0604);
    TLxPersist p;
    p.Lines = {"new"};
    ASSERT_TRUE(p.SaveFile(name));
    EXPECT_EQ(ReadBytes(name), "new\r\n");
    struct stat st {};
    ::stat(name.c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0604u);
    EXPECT_EQ(dir.Entries(), 1);
    EXPECT_EQ(p.CreateError, 0);
    // A write that fails part-way puts the old bytes back.
    p.Lines.assign(100, std::string(40, 'n'));
    {
        FileSizeLimit limit(1000);
        EXPECT_FALSE(p.SaveFile(name));
    }
    EXPECT_EQ(ReadBytes(name), "new\r\n");
    ASSERT_EQ(dialogs.Messages().size(), 1u);
    EXPECT_EQ(dialogs.Messages()[0].find("damaged"), std::string::npos);
    dialogs.asked.clear();
    // Without the file either, the reason is kept for the caller to show.
    EXPECT_FALSE(p.SaveFile(dir.File(std::string(240, 'e') + ".ald")));
    EXPECT_EQ(p.CreateError, ENAMETOOLONG);
    EXPECT_TRUE(dialogs.asked.empty());
}

TEST(Persist, SaveKeepsTheFileModeAndWritesThroughALink)
{
    TempDir dir;
    std::string real = dir.File("real.ald"), link = dir.File("link.ald");
    WriteBytes(real, "x\r\n");
    ::chmod(real.c_str(), 0640);
    std::filesystem::create_symlink(real, link);
    TLxPersist p;
    p.Lines = {"new"};
    ASSERT_TRUE(p.SaveFile(link));
    EXPECT_TRUE(std::filesystem::is_symlink(link));
    EXPECT_EQ(ReadBytes(real), "new\r\n");
    struct stat st {};
    ::stat(real.c_str(), &st);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
    EXPECT_EQ(dir.Entries(), 2);
}

} // namespace
