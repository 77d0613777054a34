#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <QApplication>
#include <QHelpEvent>
#include <QLabel>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTextDocument>
#include <QTimer>
#include <QToolTip>
#include <fstream>

#include "TestSupport.h"
#include "files/FolderItem.h"
#include "files/TextInputStream.h"
#include "runtime/NotNil.h"
#include "runtime/RuntimeException.h"
#include "runtime/String.h"
#include "ui/QtDesktop.h"

namespace {
// Texts that a document's name, a document or the system may bring, and the program's own.
const char* const kTexts[] = {
    "<a href=sftp:host:x><font size=6>The margins were changed.<font size=1>.rtf",
    "<qt>Letter</qt>.rtf",
    "<b>bold</b> &amp; <i>tilted</i>  twice.rtf",
    "<p>first\n\nthird\n",
    "Open with\nTextEdit",
    "a < b & c > d.rtf",
};

// The characters that a label of Qt shows: its text, or what the text says where Qt reads it as
// markup.
QString Shown(const QLabel& label) {
    const Qt::TextFormat format = label.textFormat();
    if (format == Qt::PlainText || (format == Qt::AutoText && !Qt::mightBeRichText(label.text())))
        return label.text();
    QTextDocument document;
    document.setHtml(label.text());
    return document.toPlainText();
}

// The label that shows a help tag, while it shows.
const QLabel* ToolTipLabel() {
    for (const QWidget* widget : QApplication::topLevelWidgets())
        if (widget->inherits("QTipLabel") && widget->isVisible()) return qobject_cast<const QLabel*>(widget);
    return nullptr;
}
}  // namespace

// A message box shows its text as written, and none of its labels opens an address.
TEST(PlainText, AMessageBoxShowsItsTextAsWritten) {
    QtDesktop desktop;
    for (const char* text : kTexts) {
        SCOPED_TRACE(text);
        std::vector<QString> shown;
        int opening = 0;
        QTimer::singleShot(0, [&] {
            auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
            ASSERT_NE(box, nullptr);
            for (const QLabel* label : box->findChildren<QLabel*>()) {
                if (!label->text().isEmpty()) shown.push_back(Shown(*label));
                opening += label->openExternalLinks();
            }
            box->done(0);
        });
        desktop.MessageBox(String(text));
        EXPECT_EQ(shown, std::vector<QString>{QString::fromUtf8(text)});
        EXPECT_EQ(opening, 0);
    }
}

// The document's name over the drop area is shown as the file is named, and a help tag as it
// was given.
TEST_F(ProgramWindowTest, ALabelAndAHelpTagShowTheirTextAsWritten) {
    QTemporaryDir dir;
    auto& file = NotNil(window().LabelFile(), "LabelFile");
    auto& web = NotNil(window().PushButtonWeb(), "PushButtonWeb");
    for (const char* text : kTexts) {
        SCOPED_TRACE(text);
        file.SetText(text);
        EXPECT_EQ(Shown(*static_cast<QLabel*>(file.Widget())), QString::fromUtf8(text));

        web.SetHelpTag(text);
        QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), web.Widget()->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(web.Widget(), &help);
        const QLabel* tip = ToolTipLabel();
        ASSERT_NE(tip, nullptr);
        EXPECT_EQ(Shown(*tip), QString::fromUtf8(text));
        QToolTip::hideText();
    }

    const std::string name = kTexts[0];
    const std::string path = QFile::encodeName(dir.path()).toStdString() + "/" + name;
    std::ofstream(path) << "{\\rtf1\\margl1800 x}";
    EXPECT_TRUE(window().Margins(FolderItem::FromShellPath(String(path))));
    EXPECT_EQ(Shown(*static_cast<QLabel*>(file.Widget())), QString::fromStdString(name));
    for (const QLabel* label : window().Widget()->findChildren<QLabel*>()) EXPECT_FALSE(label->openExternalLinks());
}

// A text from outside that holds a bidirectional control is isolated from the words around it:
// first-strong isolate before it, pop-directional isolate after it, and before that a pop for
// each isolate it leaves open. A pop of its own that matches nothing of its own would end the
// isolate early, so it gets an isolate of its own to end, and each paragraph of it, which the
// controls of another cannot reach, is isolated alone. Any other text stays as it is.
TEST(PlainText, ATextWithBidirectionalControlsIsIsolatedFromTheWordsAroundIt) {
    const std::string fsi = "\u2068", pdi = "\u2069";
    const struct {
        std::string text, isolated;
    } cases[] = {
        {"Letter.rtf", "Letter.rtf"},
        {"\u05E9\u05DC\u05D5\u05DD \u0633\u0644\u0627\u0645.rtf\n",
         "\u05E9\u05DC\u05D5\u05DD \u0633\u0644\u0627\u0645.rtf\n"},  // right to left, but no control
        {"caf\xE9 \xFF\xE2\x80.rtf", "caf\xE9 \xFF\xE2\x80.rtf"},  // not UTF-8
        {"\u202E.degnahc erew snigram ehT.rtf", fsi + "\u202E.degnahc erew snigram ehT.rtf" + pdi},
        {"a\u202Bb\u202Dc\u202C", fsi + "a\u202Bb\u202Dc\u202C" + pdi},  // a pop-directional isolate closes them
        {"\u200Fa\u200E\u061C", fsi + "\u200Fa\u200E\u061C" + pdi},
        {"\u2067a\u2066b\u2069", fsi + "\u2067a\u2066b\u2069" + pdi + pdi},
        {"a\u2069b\u2068c\u2069\u2069", fsi + "a" + fsi + "\u2069b\u2068c\u2069" + fsi + "\u2069" + pdi},
        {"\u202Ea\nb\u2066\r\u2029\u2067", fsi + "\u202Ea" + pdi + "\n" + fsi + "b\u2066" + pdi + pdi + "\r" + fsi +
                                               pdi + "\u2029" + fsi + "\u2067" + pdi + pdi},
        {"a\u202E\r\nb", fsi + "a\u202E" + pdi + "\r\n" + fsi + "b" + pdi},
        {"\xFF\u202E\xE2\x80", fsi + "\xFF\u202E\xE2\x80" + pdi},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(StringIsolated(String(c.text)).Bytes(), c.isolated);
    }
}

// Where the window shows a document's name, in the label over the drop area and in the messages
// that "Change" gives, a name that could turn the words after it around is isolated from them,
// and any other name is shown as it is.
TEST_F(ProgramWindowTest, ANameIsShownIsolatedFromTheWindowsOwnWords) {
    QTemporaryDir dir;
    const std::string folder = QFile::encodeName(dir.path()).toStdString() + "/";
    const struct {
        std::string name, label, path;  // the path as the messages show it
    } cases[] = {
        {"Letter.rtf", "Letter.rtf", folder + "Letter.rtf"},
        {"\u202E.degnahc erew snigram ehT.rtf", "\u2068\u202E.degnahc erew snigram ehT.rtf\u2069",
         "\u2068" + folder + "\u202E.degnahc erew snigram ehT.rtf\u2069"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        const std::string path = folder + c.name;
        std::ofstream(path) << "{\\rtf1\\margl1800 x}";
        ASSERT_TRUE(window().Margins(FolderItem::FromShellPath(String(path))));
        EXPECT_EQ(NotNil(window().LabelFile()).Text().Bytes(), c.label);

        Recorded().calls.clear();
        std::ofstream(path) << "{\\rtf1\\margl1800 saved by another program}";
        NotNil(window().PushButtonChange()).Push();
        ASSERT_EQ(::unlink(path.c_str()), 0);
        ASSERT_EQ(::mkdir(path.c_str(), 0755), 0);
        NotNil(window().PushButtonChange()).Push();
        const std::string changed = " changed on disk since it was read. Open it again to change its margins.";
        EXPECT_EQ(Recorded().calls, (std::vector<std::string>{"MessageBox The document " + c.path + changed,
                                                              "MessageBox Cannot write " + c.path +
                                                                  ": it is not a regular file"}));
        try {
            TextInputStream::Open(FolderItem::FromShellPath(String(path)));
            ADD_FAILURE() << "a folder was opened for reading";
        } catch (const IOException& failure) {
            EXPECT_EQ(failure.what(), "Cannot open " + c.path + " for reading: it is not a regular file");
        }
    }
}
