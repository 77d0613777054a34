#include <unistd.h>

#include <gtest/gtest.h>

#include <QDropEvent>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <fstream>

#include "TestFiles.h"
#include "TestSupport.h"
#include "runtime/NotNil.h"
#include "runtime/Trace.h"
#include "shell/FileTypes.h"
#include "ui/EventLoop.h"

namespace {
const char* const kDocument = "{\\rtf1\\ansi{\\fonttbl\\f0 Helvetica;}\\margl1800\\margr1200 Hello}";
const char* const kOther = "{\\rtf1\\ansi{\\fonttbl\\f0 Times;}\\margl720\\margt900 World}";

std::string Text(const Ref<TextField>& field) { return NotNil(field).Text().Bytes(); }
std::string Text(const Ref<Label>& label) { return NotNil(label).Text().Bytes(); }
std::string PathOf(const Ref<FolderItem>& item) { return item ? item->ShellPath().Bytes() : "(nil)"; }

// Documents in a temporary folder: an ".rtf", a ".txt", an ".rtfd" package, and files that are
// not documents.
class Documents {
public:
    Documents() {
        WriteBytes(Path("Letter.rtf"), kDocument);
        WriteBytes(Path("Other.rtf"), kOther);
        WriteBytes(Path("Notes.txt"), kOther);
        WriteBytes(Path("Picture.png"), "not a document");
        WriteBytes(Path("program.c"), "int main() {}");
        WriteBytes(Path("Plain.rtf"), "{\\rtf1 no place for margins}");
        QDir(dir_.path()).mkdir("Report.rtfd");
        WriteBytes(Path("Report.rtfd/TXT.rtf"), kDocument);
    }
    QString Path(const char* name) const { return dir_.filePath(name); }
    std::string Bytes(const char* name) const { return QFile::encodeName(dir_.path()).toStdString() + "/" + name; }

private:
    QTemporaryDir dir_;
};

class DocumentEntryTest : public ProgramWindowTest {
protected:
    void TearDown() override {
        EXPECT_FALSE(RuntimeTakeEscapedException()) << "a handler raised an exception";
        ProgramWindowTest::TearDown();
    }

    QWidget* Canvas() { return NotNil(window().CanvasDrop()).Widget(); }

    // Drags what the mime data carries onto the drop area and drops it there, as a user does.
    void Drop(const QList<QUrl>& urls, const QString& text = {}) {
        QMimeData data;
        if (!urls.isEmpty()) data.setUrls(urls);
        if (!text.isEmpty()) data.setText(text);
        Drop(data);
    }
    // Drops addresses as another program's drag brings them: a list of lines of bytes.
    void DropAddresses(const QByteArray& addresses) {
        QMimeData data;
        data.setData("text/uri-list", addresses);
        Drop(data);
    }
    void Drop(const QMimeData& data) {
        QDragEnterEvent enter(QPoint(64, 64), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(Canvas(), &enter);
        ASSERT_TRUE(enter.isAccepted()) << "the drop area refused the drag";
        QDropEvent drop(QPointF(64, 64), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(Canvas(), &drop);
    }
    void Drop(const QString& path) { Drop({QUrl::fromLocalFile(path)}); }

    // Whether the drop area would take a drag of these items.
    bool TakesDrag(const QList<QUrl>& urls) {
        QMimeData data;
        data.setUrls(urls);
        QDragEnterEvent enter(QPoint(64, 64), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(Canvas(), &enter);
        return enter.isAccepted();
    }

    Documents documents;
};
}  // namespace

TEST_F(DocumentEntryTest, ADroppedDocumentBecomesTheItemGivenAndShowsItsMargins) {
    Drop(documents.Path("Letter.rtf"));
    EXPECT_EQ(PathOf(app().myMajorFolderItem), documents.Bytes("Letter.rtf"));
    EXPECT_EQ(Text(window().TextFieldMargL()), "1800");
    EXPECT_EQ(Text(window().TextFieldMargR()), "1200");
    EXPECT_EQ(Text(window().LabelFile()), "Letter.rtf");
    EXPECT_TRUE(Recorded().calls.empty());  // no beep

    Drop(documents.Path("Notes.txt"));  // comes in through "special/any"
    EXPECT_EQ(Text(window().TextFieldMargT()), "900");
    EXPECT_EQ(PathOf(app().myFolderItem), documents.Bytes("Notes.txt"));
}

TEST_F(DocumentEntryTest, ADroppedPackageIsTheItemGivenWhileItsTextIsRead) {
    Drop(documents.Path("Report.rtfd"));
    EXPECT_EQ(PathOf(app().myMajorFolderItem), documents.Bytes("Report.rtfd"));
    EXPECT_EQ(PathOf(app().myFolderItem), documents.Bytes("Report.rtfd/TXT.rtf"));
    EXPECT_EQ(Text(window().TextFieldMargL()), "1800");
    EXPECT_EQ(Text(window().LabelFile()), "Report.rtfd");
}

TEST_F(DocumentEntryTest, ADroppedFileOfAnotherKindIsTheItemGivenAndGetsOneBeep) {
    Drop(documents.Path("Letter.rtf"));
    Drop(documents.Path("Picture.png"));
    EXPECT_EQ(Recorded().calls, std::vector<std::string>{"Beep"});
    EXPECT_EQ(PathOf(app().myMajorFolderItem), documents.Bytes("Picture.png"));
    EXPECT_EQ(PathOf(app().myFolderItem), documents.Bytes("Letter.rtf"));  // the previous document stays
}

TEST_F(DocumentEntryTest, OfSeveralFilesDroppedTogetherOnlyTheFirstIsUsed) {
    Drop({QUrl::fromLocalFile(documents.Path("Other.rtf")), QUrl::fromLocalFile(documents.Path("Letter.rtf")),
          QUrl::fromLocalFile(documents.Path("Notes.txt"))});
    EXPECT_EQ(PathOf(app().myMajorFolderItem), documents.Bytes("Other.rtf"));
    EXPECT_EQ(Text(window().TextFieldMargL()), "720");
}

TEST_F(DocumentEntryTest, ADropWithoutAFileBeepsOnceAndKeepsTheItemGiven) {
    Drop(documents.Path("Letter.rtf"));
    Drop({}, "some text");
    Drop({QUrl("http://example.org/Letter.rtf")});
    EXPECT_EQ(Recorded().calls, (std::vector<std::string>{"Beep", "Beep"}));
    EXPECT_EQ(PathOf(app().myMajorFolderItem), documents.Bytes("Letter.rtf"));
}

TEST_F(DocumentEntryTest, AnAddressThatNamesNoLocalFileBringsNoFile) {
    Drop(documents.Path("Letter.rtf"));
    const QByteArray folder = QUrl::fromLocalFile(documents.Path("")).toEncoded() + "/";
    for (const QByteArray& address : {QByteArray("file:"), QByteArray("file:///tmp/a%00b.rtf"),
                                      folder + "Let%00ter.rtf", "file://elsewhere" + folder.mid(7) + "Letter.rtf",
                                      QByteArray("file:Letter.rtf")}) {
        SCOPED_TRACE(address.toStdString());
        Recorded().calls.clear();
        DropAddresses(address + "\r\n");
        EXPECT_EQ(Recorded().calls, std::vector<std::string>{"Beep"});
        EXPECT_EQ(PathOf(app().myMajorFolderItem), documents.Bytes("Letter.rtf"));
    }

    // Such an address is no item of the drag, so a file after it comes first.
    DropAddresses("file:\r\n" + folder + "Other.rtf\r\n");
    EXPECT_EQ(PathOf(app().myMajorFolderItem), documents.Bytes("Other.rtf"));
}

TEST_F(DocumentEntryTest, ADroppedNameComesAsItsBytesThoughTheyAreNotUtf8) {
    const std::string name = documents.Bytes("caf\xE9.rtf");
    std::ofstream(name) << kDocument;
    DropAddresses(QUrl::fromLocalFile(documents.Path("")).toEncoded() + "/caf%E9.rtf\r\n");
    EXPECT_EQ(PathOf(app().myMajorFolderItem), name);
    ::unlink(name.c_str());  // Qt cannot name it to remove the folder
}

TEST_F(DocumentEntryTest, TheDropAreaTakesLocalFilesOfItsKindsOnly) {
    InitFileTypes();
    EXPECT_TRUE(TakesDrag({QUrl::fromLocalFile(documents.Path("Letter.rtf"))}));
    EXPECT_TRUE(TakesDrag({QUrl::fromLocalFile(documents.Path("Report.rtfd"))}));
    EXPECT_TRUE(TakesDrag({QUrl::fromLocalFile(documents.Path("Picture.png"))}));  // Margins decides
    EXPECT_FALSE(TakesDrag({QUrl::fromLocalFile(documents.Path("gone.rtf"))}));
    EXPECT_TRUE(TakesDrag({QUrl("http://example.org/Letter.rtf")}));  // brings no file: refused by a beep
    ReleaseFileTypeRtf();
    ReleaseFileTypeText();
    ReleaseFileTypeRtfd();
}

TEST_F(DocumentEntryTest, TheVersionLabelShowsTheApplicationsVersion) {
    EXPECT_EQ(Text(window().LabelVersion()), "V1.0.0");
}

TEST_F(DocumentEntryTest, TheWebButtonOpensTheMakersPageEachTime) {
    NotNil(window().PushButtonWeb()).Push();
    NotNil(window().PushButtonWeb()).Push();
    EXPECT_EQ(Recorded().calls, (std::vector<std::string>(2, "OpenURL http://example.org/durodiz/")));
    EXPECT_EQ(Text(window().LabelAuthor()), "Zell");
}

TEST_F(DocumentEntryTest, SendOpensTheItemGivenThePackageNotItsText) {
    Drop(documents.Path("Letter.rtf"));
    NotNil(window().BevelButtonSend()).Push();
    Drop(documents.Path("Report.rtfd"));
    NotNil(window().BevelButtonSend()).Push();
    EXPECT_EQ(Recorded().calls, (std::vector<std::string>{"Launch " + documents.Bytes("Letter.rtf"),
                                                          "Launch " + documents.Bytes("Report.rtfd")}));
}

TEST_F(DocumentEntryTest, SendStaysAfterTheNoPlaceMessageAndOpensThatDocument) {
    Drop(documents.Path("Plain.rtf"));
    EXPECT_TRUE(NotNil(window().BevelButtonSend()).Visible());
    NotNil(window().BevelButtonSend()).Push();
    ASSERT_FALSE(Recorded().calls.empty());
    EXPECT_EQ(Recorded().calls.back(), "Launch " + documents.Bytes("Plain.rtf"));
}

TEST_F(DocumentEntryTest, ClearEmptiesTheFieldsAndForgetsTheFileButNotTheName) {
    Drop(documents.Path("Letter.rtf"));
    const String text = app().myFileContent;
    NotNil(window().BevelButtonClear()).Push();

    EXPECT_EQ(app().myFolderItem, nullptr);
    EXPECT_EQ(PathOf(app().myMajorFolderItem), documents.Bytes("Letter.rtf"));
    EXPECT_EQ(app().myFileContent, text);
    EXPECT_FALSE(NotNil(window().PushButtonChange()).Enabled());
    EXPECT_FALSE(NotNil(window().BevelButtonSend()).Visible());
    EXPECT_FALSE(NotNil(window().BevelButtonClear()).Visible());
    for (const auto& field : {window().TextFieldMargL(), window().TextFieldMargR(), window().TextFieldMargT(),
                              window().TextFieldMargB()})
        EXPECT_EQ(Text(field), "");
    for (const auto& label : {window().LabelMargL(), window().LabelMargR(), window().LabelMargT(), window().LabelMargB()})
        EXPECT_EQ(Text(label), "");
    EXPECT_EQ(Text(window().LabelFile()), "Letter.rtf");

    // The same document given again is read afresh.
    Drop(documents.Path("Letter.rtf"));
    EXPECT_EQ(Text(window().TextFieldMargL()), "1800");
    EXPECT_TRUE(NotNil(window().PushButtonChange()).Enabled());
}

TEST_F(DocumentEntryTest, HelpOpensTheHelpDocumentAndChangesNothing) {
    Drop(documents.Path("Letter.rtf"));
    Recorded().calls.clear();
    NotNil(window().PushButtonHelp()).Push();
    ASSERT_EQ(Recorded().calls.size(), 1u);
    EXPECT_EQ(Recorded().calls[0],
              "Launch " + QDir::cleanPath(QCoreApplication::applicationDirPath() + "/../Resources/Velloran.rtfd").toStdString());
    EXPECT_EQ(Text(window().TextFieldMargL()), "1800");
    EXPECT_EQ(PathOf(app().myFolderItem), documents.Bytes("Letter.rtf"));
}

TEST(Help, WithoutTheHelpDocumentTheUserIsTold) {
    const auto [exitCode, output] = RunInPrivateBundle({"VelloranDrop.png"}, "HelpInAPrivateBundle.*");
    EXPECT_EQ(exitCode, 0) << output;
    EXPECT_NE(output.find("[  PASSED  ] 1 test."), std::string::npos) << output;
}

// The half of the test above that runs in a bundle without the help document.
class HelpInAPrivateBundle : public ProgramWindowTest {};
TEST_F(HelpInAPrivateBundle, SaysThereIsNoHelp) {
    if (qEnvironmentVariable(kPrivateBundle).isEmpty()) GTEST_SKIP() << "runs in a bundle of its own, started by Help";
    Recorded().calls.clear();
    NotNil(window().PushButtonHelp()).Push();
    EXPECT_EQ(Recorded().calls, std::vector<std::string>{"MessageBox Pas d'aide disponible"});
}

// The open-document event, as the Finder or a file manager's "Open with" raises it.
class OpenDocumentTest : public ::testing::Test {
protected:
    void SetUp() override { StartProgramServices(); }
    void TearDown() override { EXPECT_FALSE(RuntimeTakeEscapedException()); }
    void Open(const QString& path) { AppInstance()->OpenDocument(Item(path)); }

    Documents documents;
};

TEST_F(OpenDocumentTest, ADocumentOpenedBeforeTheWindowExistsMakesTheWindowThere) {
    ASSERT_EQ(RuntimeGetImplicitWindow("WindowVelloran.WindowVelloran"), nullptr);
    Open(documents.Path("Letter.rtf"));

    ASSERT_EQ(RuntimeWindows().size(), 1u);
    Ref<WindowVelloran> window = ImplicitWindowVelloran();  // start-up's delegate finds it
    EXPECT_EQ(RuntimeWindows().size(), 1u);
    EXPECT_EQ(Text(window->TextFieldMargL()), "1800");
    EXPECT_EQ(PathOf(AppInstance()->myMajorFolderItem), documents.Bytes("Letter.rtf"));
    EXPECT_EQ(PathOf(AppInstance()->myFolderItem), documents.Bytes("Letter.rtf"));
    EXPECT_TRUE(Recorded().calls.empty());
}

TEST_F(OpenDocumentTest, ARefusedItemGetsTheReadersSignalAndOneBeepMore) {
    Open(documents.Path("Letter.rtf"));
    Open(documents.Path("program.c"));
    EXPECT_EQ(Recorded().calls, (std::vector<std::string>{"Beep", "Beep"}));
    EXPECT_EQ(PathOf(AppInstance()->myMajorFolderItem), documents.Bytes("program.c"));
    EXPECT_EQ(PathOf(AppInstance()->myFolderItem), documents.Bytes("Letter.rtf"));

    Recorded().calls.clear();
    Open(documents.Path("Plain.rtf"));
    EXPECT_EQ(Recorded().calls, (std::vector<std::string>{"MessageBox " + WindowVelloran::K_NOTMARGED("").Bytes(), "Beep"}));
}

TEST_F(OpenDocumentTest, ASecondDocumentReplacesTheFirst) {
    Open(documents.Path("Letter.rtf"));
    Open(documents.Path("Report.rtfd"));
    EXPECT_EQ(PathOf(AppInstance()->myMajorFolderItem), documents.Bytes("Report.rtfd"));
    EXPECT_EQ(PathOf(AppInstance()->myFolderItem), documents.Bytes("Report.rtfd/TXT.rtf"));
    EXPECT_EQ(Text(ImplicitWindowVelloran()->LabelFile()), "Report.rtfd");
}

TEST(CommandLine, DocumentsOnTheCommandLineArriveOneByOneInOrder) {
    Documents documents;
    std::string labelFile, itemGiven;
    std::vector<std::string> opened;
    std::string first = documents.Bytes("Letter.rtf"), second = documents.Bytes("Other.rtf");
    RuntimeSetTraceObserver([&](std::string_view call) {
        if (!call.starts_with("OpenDocument ")) return;
        opened.emplace_back(call.substr(13));
        // The window closes at the next turn of the event loop after the last document came.
        if (opened.size() < 2) return;
        QTimer::singleShot(0, [&] {
            labelFile = Text(ImplicitWindowVelloran()->LabelFile());
            itemGiven = PathOf(AppInstance()->myMajorFolderItem);
            ImplicitWindowVelloran()->Widget()->close();
        });
    });
    char name[] = "Velloran";
    char* argv[] = {name, first.data(), second.data(), nullptr};
    EXPECT_EQ(ProgramMain(3, argv), 0);
    RuntimeSetTraceObserver(nullptr);
    EXPECT_EQ(opened, (std::vector<std::string>{first, second}));
    EXPECT_EQ(labelFile, "Other.rtf");
    EXPECT_EQ(itemGiven, second);
}
