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
#include "runtime/NotNil.h"
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
