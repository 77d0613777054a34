#include <unistd.h>

#include <QDropEvent>
#include <QMimeData>
#include <QTemporaryDir>
#include <QTimer>
#include <QUrl>
#include <QWidget>
#include <gtest/gtest.h>

#include "TestFiles.h"
#include "TestSupport.h"
#include "runtime/NotNil.h"
#include "runtime/Trace.h"

namespace {
// Documents of the same name in a tree where `projects/current` is a link to `archive/old`, each
// with a left margin of its own: the system's `projects/current/../notes.rtf` is
// `archive/notes.rtf`.
class LinkedFolders {
public:
    LinkedFolders() {
        QDir(dir_.path()).mkpath("projects");
        QDir(dir_.path()).mkpath("archive/old");
        ::symlink("../archive/old", (Root() + "/projects/current").c_str());
        for (const char* name : kDocuments) WriteBytes(In(name), Document(name));
    }
    std::string Root() const { return QFile::encodeName(QDir(dir_.path()).canonicalPath()).toStdString(); }
    QString In(const std::string& name) const {
        return QFile::decodeName(QByteArray::fromStdString(Root() + "/" + name));
    }
    static std::string Left(const std::string& name) {
        return name == "projects/notes.rtf" ? "1111" : name == "archive/notes.rtf" ? "2222" : "3333";
    }
    static std::string Document(const std::string& name) {
        return "{\\rtf1\\margl" + Left(name) + "\\margr1440\\margt1440\\margb1440 " + name + "}";
    }
    // Expects every document to hold what it was given, but `changed`, whose left margin is 4444.
    void ExpectOnlyChanged(const std::string& changed) const {
        for (const std::string name : kDocuments) {
            std::string expected = Document(name);
            if (name == changed) expected.replace(expected.find(Left(name)), 4, "4444");
            EXPECT_EQ(ReadBytes(In(name)), expected) << name;
        }
    }

    static constexpr const char* kDocuments[] = {"projects/notes.rtf", "archive/notes.rtf", "archive/old/page.rtf"};

private:
    QTemporaryDir dir_;
};

enum class Way { Open, Drop };

class LinkedFolderTest : public ProgramWindowTest {
protected:
    void Give(Way way, const std::string& path) {
        const QString name = QFile::decodeName(QByteArray::fromStdString(path));
        if (way == Way::Open) {
            app().OpenDocument(Item(name));
            return;
        }
        QMimeData data;
        data.setUrls({QUrl::fromLocalFile(name)});
        QWidget* canvas = NotNil(window().CanvasDrop()).Widget();
        QDragEnterEvent enter(QPoint(64, 64), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(canvas, &enter);
        QDropEvent drop(QPointF(64, 64), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
        QCoreApplication::sendEvent(canvas, &drop);
    }

    LinkedFolders folders;
};

// Shows what the window read of the document opened, and has "Change" write a left margin of
// 4444 into it.
struct Seen {
    std::string read, label, left;
};
Seen ChangeTheLeftMargin(WindowVelloran& window) {
    const Ref<FolderItem> file = AppInstance()->myFolderItem;
    Seen seen{file ? file->ShellPath().Bytes() : "<nil>", NotNil(window.LabelFile()).Text().Bytes(),
              NotNil(window.TextFieldMargL()).Text().Bytes()};
    NotNil(window.TextFieldMargL()).SetText("4444");
    NotNil(window.PushButtonChange()).Push();
    return seen;
}
}  // namespace

// Whichever way a path comes, the window shows and changes the document that the system opens by
// it, and names it so.
TEST_F(LinkedFolderTest, TheWindowShowsAndChangesTheDocumentTheSystemOpens) {
    const struct {
        Way way;
        std::string given, read, file, label;  // the path read, and the document that is there
    } cases[] = {
        {Way::Open, "projects/current/../notes.rtf", "archive/notes.rtf", "archive/notes.rtf", "notes.rtf"},
        {Way::Drop, "projects/current/../notes.rtf", "archive/notes.rtf", "archive/notes.rtf", "notes.rtf"},
        {Way::Drop, "projects/current/page.rtf", "projects/current/page.rtf", "archive/old/page.rtf", "page.rtf"},
        {Way::Open, "projects//./notes.rtf", "projects/notes.rtf", "projects/notes.rtf", "notes.rtf"},
        {Way::Drop, "archive/old/../notes.rtf", "archive/notes.rtf", "archive/notes.rtf", "notes.rtf"},  // no link
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.given);
        for (const char* name : LinkedFolders::kDocuments) WriteBytes(folders.In(name), LinkedFolders::Document(name));
        Recorded().calls.clear();
        Give(c.way, folders.Root() + "/" + c.given);
        const Seen seen = ChangeTheLeftMargin(window());
        EXPECT_EQ(seen.read, folders.Root() + "/" + c.read);
        EXPECT_EQ(seen.label, c.label);
        EXPECT_EQ(seen.left, LinkedFolders::Left(c.file));
        EXPECT_EQ(Recorded().calls, std::vector<std::string>{});
        folders.ExpectOnlyChanged(c.file);
    }
}

// A path on the command line is taken from the folder the program was started in.
TEST(LinkedFolderCommandLine, ARelativePathThroughALinkMeansTheDocumentTheSystemOpens) {
    LinkedFolders folders;
    ASSERT_EQ(::chdir((folders.Root() + "/projects").c_str()), 0);
    Seen seen;
    RuntimeSetTraceObserver([&](std::string_view call) {
        if (call.starts_with("OpenDocument "))
            QTimer::singleShot(0, [&] {
                seen = ChangeTheLeftMargin(*ImplicitWindowVelloran());
                ImplicitWindowVelloran()->Widget()->close();
            });
    });
    char name[] = "Velloran", document[] = "current/../notes.rtf";
    char* argv[] = {name, document, nullptr};
    EXPECT_EQ(ProgramMain(2, argv), 0);
    RuntimeSetTraceObserver(nullptr);
    ASSERT_EQ(::chdir("/"), 0);
    EXPECT_EQ(seen.read, folders.Root() + "/archive/notes.rtf");
    EXPECT_EQ(seen.label, "notes.rtf");
    EXPECT_EQ(seen.left, "2222");
    EXPECT_EQ(Recorded().calls, std::vector<std::string>{});
    folders.ExpectOnlyChanged("archive/notes.rtf");
}
