#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

#include <QFileInfo>
#include <QLineEdit>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <array>
#include <cerrno>
#include <cstring>

#include "TestFiles.h"
#include "TestSupport.h"
#include "files/TextInputStream.h"
#include "runtime/NotNil.h"
#include "runtime/Plugins.h"
#include "shell/Startup.h"
#include "window/MarginText.h"

using namespace std::string_literals;

namespace {
const char* const kNotMarged =
    "MessageBox No match found with a marged .rtf syntax,\nFirst Open and force it Save as .rtf file with TextEdit.";

std::string WithMarker(std::string text) {
    const size_t at = text.find("<M>");
    if (at != std::string::npos) text.replace(at, 3, MarginText::kMarker.Bytes());
    return text;
}

class MarginsTest : public ProgramWindowTest {
protected:
    void TearDown() override {
        EXPECT_FALSE(RuntimeHasEscapedException()) << "an exception escaped a handler";
        ProgramWindowTest::TearDown();
    }

    QString In(const QString& name) const { return dir_.filePath(name); }
    bool Read(const QString& name) { return window().Margins(Item(In(name))); }

    std::array<std::string, 4> Fields() {
        return {NotNil(window().TextFieldMargL()).Text().Bytes(), NotNil(window().TextFieldMargR()).Text().Bytes(),
                NotNil(window().TextFieldMargT()).Text().Bytes(), NotNil(window().TextFieldMargB()).Text().Bytes()};
    }
    std::array<std::string, 4> Labels() {
        return {NotNil(window().LabelMargL()).Text().Bytes(), NotNil(window().LabelMargR()).Text().Bytes(),
                NotNil(window().LabelMargT()).Text().Bytes(), NotNil(window().LabelMargB()).Text().Bytes()};
    }
    void SetFields(const std::array<const char*, 4>& values) {
        NotNil(window().TextFieldMargL()).SetText(values[0]);
        NotNil(window().TextFieldMargR()).SetText(values[1]);
        NotNil(window().TextFieldMargT()).SetText(values[2]);
        NotNil(window().TextFieldMargB()).SetText(values[3]);
    }
    // Types into a field as a user does: the old text is selected, deleted and replaced.
    void Type(const Ref<TextField>& field, const char* keys) {
        auto* edit = static_cast<QLineEdit*>(NotNil(field).Widget());
        edit->setFocus();
        edit->selectAll();
        QTest::keyClick(edit, Qt::Key_Backspace);
        QTest::keyClicks(edit, keys);
    }
    void ClickChange() { QTest::mouseClick(NotNil(window().PushButtonChange()).Widget(), Qt::LeftButton); }

    bool ChangeEnabled() { return NotNil(window().PushButtonChange()).Enabled(); }
    bool SmallButtonsShown() {
        const bool send = NotNil(window().BevelButtonSend()).Visible();
        EXPECT_EQ(NotNil(window().BevelButtonClear()).Visible(), send);
        return send;
    }
    std::string LabelFile() { return NotNil(window().LabelFile()).Text().Bytes(); }
    std::string FileRead() { return app().myFolderItem ? app().myFolderItem->ShellPath().Bytes() : "<nil>"; }
    std::string PathOf(const QString& name) const { return QFile::encodeName(In(name)).toStdString(); }

    QTemporaryDir dir_;
};

const char* const kPrevious = "{\\rtf1\\margl100\\margr200\\margt300\\margb400 previous}";
}  // namespace

TEST_F(MarginsTest, TheItemsKindDecidesTheFileAndAnythingElseIsRefusedWithABeep) {
    WriteBytes(In("previous.rtf"), kPrevious);
    for (const char* name : {"doc.rtf", "DOC.RTF", "notes.txt", "notes.text", "main.c", "file.rtfd"})
        WriteBytes(In(name), "{\\rtf1\\margl1800 x}");
    for (const char* name : {"folder.rtf", "pack.rtfd", "Pack.RTFD", "empty.rtfd"}) ASSERT_TRUE(QDir(In("")).mkdir(name));
    WriteBytes(In("pack.rtfd/TXT.rtf"), "{\\rtf1\\margl1800 x}");
    WriteBytes(In("Pack.RTFD/TXT.rtf"), "{\\rtf1\\margl1800 x}");

    struct Case {
        const char* item;
        const char* file;  // the file read, or nullptr when the item is refused
    };
    const Case cases[] = {
        {"doc.rtf", "doc.rtf"},     {"DOC.RTF", "DOC.RTF"},
        {"notes.txt", "notes.txt"}, {"pack.rtfd", "pack.rtfd/TXT.rtf"},
        {"Pack.RTFD", "Pack.RTFD/TXT.rtf"},
        {"notes.text", nullptr},    {"main.c", nullptr},
        {"folder.rtf", nullptr},    {"file.rtfd", nullptr},
        {"empty.rtfd", nullptr},    {"", nullptr},  // no item at all
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.item);
        ASSERT_TRUE(Read("previous.rtf"));
        Recorded().calls.clear();

        const Ref<FolderItem> item = *c.item ? Item(In(c.item)) : nullptr;
        const bool result = window().Margins(item);

        EXPECT_EQ(result, c.file != nullptr);
        EXPECT_EQ(ChangeEnabled(), c.file != nullptr);
        EXPECT_EQ(SmallButtonsShown(), c.file != nullptr);
        if (c.file) {
            EXPECT_TRUE(Recorded().calls.empty());
            EXPECT_EQ(FileRead(), PathOf(c.file));
            EXPECT_EQ(LabelFile(), c.item);  // the package's name, not that of its text
            EXPECT_EQ(Fields(), (std::array<std::string, 4>{"1800", "1440", "1440", "1440"}));
            EXPECT_EQ(app().myFileContent.Bytes(), WithMarker("{\\rtf1<M> x}"));
        } else {
            EXPECT_EQ(Recorded().calls, std::vector<std::string>{"Beep"});
            EXPECT_EQ(FileRead(), PathOf("previous.rtf"));
            EXPECT_EQ(LabelFile(), "previous.rtf");
            EXPECT_EQ(Fields(), (std::array<std::string, 4>{"100", "200", "300", "400"}));
            EXPECT_EQ(app().myFileContent.Bytes(), WithMarker("{\\rtf1<M> previous}"));
        }
        EXPECT_EQ(app().myMajorFolderItem, nullptr);  // the callers' to set
    }
}

TEST_F(MarginsTest, APackagesTextThatIsNoPlainFileOfItsOwnIsRefusedLikeAMissingOne) {
    WriteBytes(In("previous.rtf"), kPrevious);
    WriteBytes(In("outside.rtf"), "{\\rtf1\\margl1800 outside}");
    for (const char* name : {"out.rtfd", "in.rtfd", "folder.rtfd", "pipe.rtfd"}) ASSERT_TRUE(QDir(In("")).mkdir(name));
    WriteBytes(In("in.rtfd/other.rtf"), "{\\rtf1\\margl1800 inside}");
    ASSERT_EQ(::symlink(PathOf("outside.rtf").c_str(), PathOf("out.rtfd/TXT.rtf").c_str()), 0);
    ASSERT_EQ(::symlink("other.rtf", PathOf("in.rtfd/TXT.rtf").c_str()), 0);
    ASSERT_TRUE(QDir(In("folder.rtfd")).mkdir("TXT.rtf"));
    ASSERT_EQ(::mkfifo(PathOf("pipe.rtfd/TXT.rtf").c_str(), 0644), 0);  // a read would wait for good

    for (const char* package : {"out.rtfd", "in.rtfd", "folder.rtfd", "pipe.rtfd"}) {
        SCOPED_TRACE(package);
        ASSERT_TRUE(Read("previous.rtf"));
        Recorded().calls.clear();

        EXPECT_FALSE(Read(package));
        EXPECT_EQ(Recorded().calls, std::vector<std::string>{"Beep"});
        EXPECT_FALSE(ChangeEnabled());
        EXPECT_FALSE(SmallButtonsShown());
        EXPECT_EQ(FileRead(), PathOf("previous.rtf"));
    }
}

TEST_F(MarginsTest, EachOutcomeLeavesTheWindowAndTheDocumentStateAsItSays) {
    struct Case {
        const char* name;
        const char* document;  // nullptr: a link that leads nowhere, which cannot be opened
        bool result;
        std::vector<std::string> calls;
        bool changeEnabled;
        const char* labelFile;
        std::array<std::string, 4> fields, labels;
        std::string content;  // "<M>" stands for the marker
    };
    const Case cases[] = {
        {"marked.rtf", "{\\rtf1\\margl1800\\margr1200\\vieww9000 x}", true, {}, true, "marked.rtf",
         {"1800", "1200", "1440", "1440"}, {"1800", "1200", "1440", "1440"}, "{\\rtf1<M>\\vieww9000 x}"},
        {"bare.rtf", "{\\rtf1\\margl \\margb5 x}", true, {}, true, "bare.rtf", {"", "1440", "1440", "5"},
         {"", "1440", "1440", "5"}, "{\\rtf1<M> x}"},
        {"fonts.rtf", "{\\rtf1{\\fonttbl\\f0 Times;}}", true, {}, true, "fonts.rtf",
         {"1440", "1440", "1440", "1440"}, {"1440", "1440", "1440", "1440"}, "{\\rtf1<M>{\\fonttbl\\f0 Times;}}"},
        {"unmarged.rtf", "{\\rtf1{\\fonttbl{\\f0 Times;}}}", false, {kNotMarged}, false, "unmarged.rtf",
         {"1440", "1440", "1440", "1440"}, {"1440", "1440", "1440", "1440"}, "{\\rtf1{\\fonttbl{\\f0 Times;}}}"},
        // The previous document's text stays, and "Change" must not write it into this file.
        {"gone.rtf", nullptr, false, {"MessageBox error input"}, false, "previous.rtf",
         {"100", "200", "300", "400"}, {"100", "200", "300", "400"}, "{\\rtf1<M> previous}"},
    };
    WriteBytes(In("previous.rtf"), kPrevious);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(Read("previous.rtf"));
        Recorded().calls.clear();
        if (c.document) WriteBytes(In(c.name), c.document);
        else ASSERT_TRUE(QFile::link(In("nowhere.rtf"), In(c.name)));

        EXPECT_EQ(Read(c.name), c.result);

        EXPECT_EQ(Recorded().calls, c.calls);
        EXPECT_EQ(ChangeEnabled(), c.changeEnabled);
        EXPECT_TRUE(SmallButtonsShown());
        EXPECT_EQ(LabelFile(), c.labelFile);
        EXPECT_EQ(Fields(), c.fields);
        EXPECT_EQ(Labels(), c.labels);
        EXPECT_EQ(FileRead(), PathOf(c.name));
        EXPECT_EQ(app().myFileContent.Bytes(), WithMarker(c.content));
        EXPECT_EQ(app().myTextInputStream == nullptr, c.document == nullptr);
    }
}

TEST_F(MarginsTest, ChangeWithTheValuesShownChangesOnlyTheMarginWords) {
    const std::string original =
        "{\\rtf1\\ansi\\ansicpg1252\r\n{\\fonttbl\\f0\\fswiss Helvetica;}\r\n"
        "\\paperw11900\\paperh16840\\marglsxn1000\\margl1440\\margr1800\\vieww10800\\viewh8400\\viewkind0\r\n"
        "\\pard\\margb-720 \\'e9t\xE9\0\xFF \\margl99 text}"s;
    const std::string expected =
        "{\\rtf1\\ansi\\ansicpg1252\r\n{\\fonttbl\\f0\\fswiss Helvetica;}\r\n"
        "\\paperw11900\\paperh16840\\marglsxn1000\\margl1440\\margr1800\\margt1440\\margb-720"
        "\\vieww10800\\viewh8400\\viewkind0\r\n"
        "\\pard\\'e9t\xE9\0\xFF \\margl99 text}"s;
    WriteBytes(In("doc.rtf"), original);
    ASSERT_TRUE(Read("doc.rtf"));
    EXPECT_EQ(Fields(), (std::array<std::string, 4>{"1440", "1800", "1440", "-720"}));

    ClickChange();

    EXPECT_EQ(ReadBytes(In("doc.rtf")), expected);
    EXPECT_TRUE(Recorded().calls.empty());
    EXPECT_EQ(EntriesOf(In("")), QStringList{"doc.rtf"});
    // The window stays as it was: the fields keep their texts and "Change" stays enabled.
    EXPECT_EQ(Labels(), Fields());
    EXPECT_TRUE(ChangeEnabled());
}

TEST_F(MarginsTest, EveryPressWritesWhatTheFieldsShowThen) {
    WriteBytes(In("doc.rtf"), "{\\rtf1\\margl1800\\margr1200\\pard x}");
    ASSERT_TRUE(Read("doc.rtf"));

    struct Press {
        std::array<const char*, 4> typed;  // nullptr: the field is left as it is
        const char* file;
    };
    const Press presses[] = {
        {{nullptr, nullptr, nullptr, nullptr}, "{\\rtf1\\margl1800\\margr1200\\margt1440\\margb1440\\pard x}"},
        {{"567", "72", nullptr, nullptr}, "{\\rtf1\\margl567\\margr72\\margt1440\\margb1440\\pard x}"},
        {{nullptr, nullptr, "9999", "0"}, "{\\rtf1\\margl567\\margr72\\margt9999\\margb0\\pard x}"},
        {{nullptr, nullptr, nullptr, ""}, "{\\rtf1\\margl567\\margr72\\margt9999\\margb\\pard x}"},
    };
    const Ref<TextField> fields[4] = {window().TextFieldMargL(), window().TextFieldMargR(), window().TextFieldMargT(),
                                      window().TextFieldMargB()};
    for (const Press& press : presses) {
        SCOPED_TRACE(press.file);
        for (size_t i = 0; i < 4; ++i)
            if (press.typed[i]) Type(fields[i], press.typed[i]);
        ClickChange();
        EXPECT_EQ(ReadBytes(In("doc.rtf")), press.file);
    }
    EXPECT_TRUE(Recorded().calls.empty());
    EXPECT_EQ(app().myFileContent.Bytes(), WithMarker("{\\rtf1<M>\\pard x}"));  // ready for the next press
    EXPECT_EQ(EntriesOf(In("")), QStringList{"doc.rtf"});
}

TEST_F(MarginsTest, AValueOfAnyLengthIsShownWholeAndWrittenBackAsItWasRead) {
    std::string digits;
    while (digits.size() < 100'000) digits += "1234567890";
    WriteBytes(In("long.rtf"), "{\\rtf1\\margl" + digits + "\\margr1800 x}");
    ASSERT_TRUE(Read("long.rtf"));
    EXPECT_EQ(Fields(), (std::array<std::string, 4>{digits, "1800", "1440", "1440"}));

    ClickChange();

    EXPECT_EQ(ReadBytes(In("long.rtf")), "{\\rtf1\\margl" + digits + "\\margr1800\\margt1440\\margb1440 x}");
    EXPECT_TRUE(Recorded().calls.empty());

    // Typing still stops at four digits; deleting goes on working.
    auto* edit = static_cast<QLineEdit*>(NotNil(window().TextFieldMargL()).Widget());
    edit->end(false);
    QTest::keyClicks(edit, "1");
    EXPECT_EQ(Fields()[0], digits);
    QTest::keyClick(edit, Qt::Key_Backspace);
    EXPECT_EQ(Fields()[0], digits.substr(0, digits.size() - 1));
}

TEST_F(MarginsTest, APackagesTextIsWrittenAndNothingElseInIt) {
    ASSERT_TRUE(QDir(In("")).mkdir("doc.rtfd"));
    WriteBytes(In("doc.rtfd/TXT.rtf"), "{\\rtf1\\margl1800 {\\NeXTGraphic pic.png}}");
    const std::string picture = "\x89PNG\r\n\x1A\n\0\0\0\rIHDR"s;
    WriteBytes(In("doc.rtfd/pic.png"), picture);
    ASSERT_TRUE(Read("doc.rtfd"));

    SetFields({"1000", "2000", "3000", "4000"});
    ClickChange();

    EXPECT_EQ(ReadBytes(In("doc.rtfd/TXT.rtf")),
              "{\\rtf1\\margl1000\\margr2000\\margt3000\\margb4000 {\\NeXTGraphic pic.png}}");
    EXPECT_EQ(ReadBytes(In("doc.rtfd/pic.png")), picture);
    EXPECT_EQ(EntriesOf(In("doc.rtfd")), (QStringList{"TXT.rtf", "pic.png"}));
}

TEST_F(MarginsTest, ALinkStaysALinkAndThePermissionBitsSurvive) {
    ASSERT_TRUE(QDir(In("")).mkdir("real"));
    WriteBytes(In("real/doc.rtf"), "{\\rtf1\\margl1800 x}");
    ASSERT_EQ(::chmod(QFile::encodeName(In("real/doc.rtf")).constData(), 0640), 0);
    ASSERT_TRUE(QFile::link("real/doc.rtf", In("link.rtf")));
    ASSERT_TRUE(Read("link.rtf"));

    ClickChange();

    EXPECT_EQ(QFileInfo(In("link.rtf")).symLinkTarget(), In("real/doc.rtf"));
    EXPECT_EQ(ReadBytes(In("real/doc.rtf")), "{\\rtf1\\margl1800\\margr1440\\margt1440\\margb1440 x}");
    EXPECT_EQ(ModeOf(In("real/doc.rtf")), 0640u);
    EXPECT_EQ(EntriesOf(In("real")), QStringList{"doc.rtf"});
    EXPECT_TRUE(Recorded().calls.empty());
}

TEST_F(MarginsTest, ADocumentChangedOnDiskSinceTheReadIsNotOverwritten) {
    struct Case {
        const char* name;
        void (*change)(const QString& path);
        const char* left;  // what the other program left on disk; nullptr: nothing
    };
    const Case cases[] = {
        {"saved longer", [](const QString& path) { WriteBytes(path, "{\\rtf1\\margl1800 another text}"); },
         "{\\rtf1\\margl1800 another text}"},
        {"saved as long, a second later",
         [](const QString& path) {
             const FileStamp read = Item(path)->Stamp();
             WriteBytes(path, "{\\rtf1\\margl1800 y}");
             const struct timespec later[2] = {{0, UTIME_OMIT}, {read.modified / 1'000'000'000 + 1, 0}};
             ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), later, 0), 0);
         },
         "{\\rtf1\\margl1800 y}"},
        // As long, and the time set back as it was (touch -r): the change time tells in place,
        // the file's number when a new file took the old one's place.
        {"saved as long in place, its time kept",
         [](const QString& path) {
             struct stat read {};
             ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &read), 0);
             AfterLastChangeOf(path);
             WriteBytes(path, "{\\rtf1\\margl1800 y}");
             const struct timespec kept[2] = {read.st_atim, read.st_mtim};
             ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), kept, 0), 0);
         },
         "{\\rtf1\\margl1800 y}"},
        {"saved as long as a new file, its time kept",
         [](const QString& path) {
             struct stat read {};
             ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &read), 0);
             WriteBytes(path + ".new", "{\\rtf1\\margl1800 y}");
             const struct timespec kept[2] = {read.st_atim, read.st_mtim};
             ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path + ".new").constData(), kept, 0), 0);
             ASSERT_EQ(::rename(QFile::encodeName(path + ".new").constData(), QFile::encodeName(path).constData()), 0);
         },
         "{\\rtf1\\margl1800 y}"},
        {"gone", [](const QString& path) { ASSERT_TRUE(QFile::remove(path)); }, nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = In(QString(c.name).replace(' ', '_') + ".rtf");
        WriteBytes(path, "{\\rtf1\\margl1800 x}");
        ASSERT_TRUE(window().Margins(Item(path)));
        Recorded().calls.clear();
        c.change(path);

        ClickChange();

        const std::string shown = QFile::encodeName(path).toStdString();
        EXPECT_EQ(Recorded().calls, std::vector<std::string>{"MessageBox The document " + shown +
                                                             " changed on disk since it was read. Open it again "
                                                             "to change its margins."});
        EXPECT_EQ(QFileInfo::exists(path), c.left != nullptr);
        if (!c.left) continue;
        EXPECT_EQ(ReadBytes(path), c.left);

        // Read again, the document takes the change.
        Recorded().calls.clear();
        ASSERT_TRUE(window().Margins(Item(path)));
        ClickChange();
        EXPECT_TRUE(Recorded().calls.empty());
        EXPECT_NE(ReadBytes(path), c.left);
    }
    EXPECT_EQ(EntriesOf(In("")),
              (QStringList{"saved_as_long,_a_second_later.rtf", "saved_as_long_as_a_new_file,_its_time_kept.rtf",
                           "saved_as_long_in_place,_its_time_kept.rtf", "saved_longer.rtf"}));
}

// No document ends the program. A failure while marking (here every search fails, the
// regular-expression plug-in being gone) is shown with the document's name, and nothing is
// written, not even the previous document's text, whatever presses "Change".
TEST_F(MarginsTest, AFailureWhileMarkingIsShownAndNothingIsWritten) {
    WriteBytes(In("previous.rtf"), kPrevious);
    ASSERT_TRUE(Read("previous.rtf"));
    WriteBytes(In("doc.rtf"), "{\\rtf1\\margl1800 x}");
    Recorded().calls.clear();

    RuntimeClearPlugins();
    const bool result = Read("doc.rtf");
    LoadFrameworkPlugins();

    EXPECT_FALSE(result);
    EXPECT_EQ(Recorded().calls, std::vector<std::string>{"MessageBox The margins of the document " + PathOf("doc.rtf") +
                                                         " cannot be read: the plug-in member RegEx.__init is not "
                                                         "loaded"});
    EXPECT_FALSE(ChangeEnabled());
    NotNil(window().PushButtonChange()).Push();
    EXPECT_EQ(ReadBytes(In("doc.rtf")), "{\\rtf1\\margl1800 x}");
    EXPECT_EQ(ReadBytes(In("previous.rtf")), kPrevious);
    EXPECT_EQ(EntriesOf(In("")), (QStringList{"doc.rtf", "previous.rtf"}));
}

// Without an application object, reading and "Change" raise NilObjectException, as every other
// handler does, rather than reach through nothing.
TEST_F(MarginsTest, WithoutTheApplicationObjectReadingAndChangeRaiseNilObject) {
    WriteBytes(In("doc.rtf"), "{\\rtf1\\margl1800 x}");
    ASSERT_TRUE(Read("doc.rtf"));
    RuntimeReleaseAppObject();
    EXPECT_THROW(window().PushButtonChange_Action(NotNil(window().PushButtonChange())), NilObjectException);
    EXPECT_THROW(Read("doc.rtf"), NilObjectException);
    EXPECT_EQ(ReadBytes(In("doc.rtf")), "{\\rtf1\\margl1800 x}");
}

// A long run of backslashes before the letters of a word is text like a short one.
TEST_F(MarginsTest, TwentyThousandBackslashesBeforeTheLettersAreText) {
    const std::string backslashes(20000, '\\');
    WriteBytes(In("doc.rtf"), "{\\rtf1 " + backslashes + "margr5 \\margl1800\\margr1200 x}");
    ASSERT_TRUE(Read("doc.rtf"));
    EXPECT_EQ(Fields(), (std::array<std::string, 4>{"1800", "1200", "1440", "1440"}));
    ClickChange();
    EXPECT_EQ(ReadBytes(In("doc.rtf")),
              "{\\rtf1 " + backslashes + "margr5 \\margl1800\\margr1200\\margt1440\\margb1440 x}");
    EXPECT_TRUE(Recorded().calls.empty());
}

// A document of 200 MB goes through the window like any small one: its margin words change and
// nothing else. The test writes and checks it a megabyte at a time, never holding it whole.
TEST_F(MarginsTest, ADocumentOf200MBChangesOnlyItsMarginWords) {
    constexpr int kChunks = 200;
    const auto chunk = [](int index) {
        std::string bytes = "Chunk " + std::to_string(index) + ":";
        while (bytes.size() < (size_t{1} << 20)) bytes += " \\pard\\f0\\fs24 caf\\'e9 {\\b bold} C:\\\\margl\\par\r\n";
        bytes.resize(size_t{1} << 20);
        return bytes;
    };
    const std::string head = "{\\rtf1\\ansi{\\fonttbl\\f0\\fswiss Helvetica;}";
    // The new text lies beside the document until it replaces it.
    struct statvfs disk {};
    ASSERT_EQ(::statvfs(QFile::encodeName(In("")).constData(), &disk), 0) << std::strerror(errno);
    const uint64_t needed = (uint64_t{2} * kChunks + 16) << 20;
    if (uint64_t{disk.f_bavail} * disk.f_frsize < needed)
        GTEST_SKIP() << "the temporary folder has less than the " << (needed >> 20) << " MB free that this test needs";
    {
        QFile file(In("big.rtf"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(QByteArray::fromStdString(head + "\\margl1800\\margr1200 "));
        for (int index = 0; index < kChunks; ++index) ASSERT_GT(file.write(QByteArray::fromStdString(chunk(index))), 0);
        file.write("\\margt900\\margb700 }");
    }
    ASSERT_TRUE(Read("big.rtf"));
    EXPECT_EQ(Fields(), (std::array<std::string, 4>{"1800", "1200", "900", "700"}));

    SetFields({"1000", "1100", "1200", "1300"});
    ClickChange();

    EXPECT_TRUE(Recorded().calls.empty());
    EXPECT_EQ(EntriesOf(In("")), QStringList{"big.rtf"});
    QFile file(In("big.rtf"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_EQ(file.read(static_cast<qint64>(head.size()) + 41).toStdString(),
              head + "\\margl1000\\margr1100\\margt1200\\margb1300 ");
    // A megabyte that differs is not printed, only where it begins to differ.
    for (int index = 0; index < kChunks; ++index) {
        const std::string read = file.read(qint64{1} << 20).toStdString(), expected = chunk(index);
        const auto differ = std::mismatch(read.begin(), read.end(), expected.begin(), expected.end()).first;
        ASSERT_TRUE(read == expected) << "the text differs from byte " << (differ - read.begin()) << " of megabyte "
                                      << index << " on, which has " << read.size() << " bytes";
    }
    EXPECT_EQ(file.read(2).toStdString(), "}");
}
