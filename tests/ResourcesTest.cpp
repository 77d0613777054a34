#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>

#include "files/FolderItem.h"
#include "ui/Picture.h"

namespace {
// The test program lives in a bundle of its own, laid out as the program's.
Ref<FolderItem> BundleResources() {
    return FolderItem::FromShellPath(String(QCoreApplication::applicationDirPath().toStdString()))
        ->Parent()
        ->Child("Resources");
}
}  // namespace

TEST(BundlePictures, EachLoadsAtItsSizeOnATransparentBackground) {
    struct Case {
        const char* name;
        int size;
    };
    for (const Case& c : {Case{"ClearMiniIcon.png", 16}, Case{"SendMiniIcon.png", 16}, Case{"VelloranDrop.png", 128}}) {
        const Ref<Picture> picture = BundleResources()->Child(c.name)->OpenAsPicture();
        ASSERT_TRUE(picture) << c.name;
        EXPECT_EQ(picture->Width(), c.size) << c.name;
        EXPECT_EQ(picture->Height(), c.size) << c.name;
        const QImage& image = picture->Image();
        ASSERT_TRUE(image.hasAlphaChannel()) << c.name;
        EXPECT_EQ(image.pixelColor(0, 0).alpha(), 0) << c.name;
        EXPECT_EQ(image.pixelColor(c.size - 1, c.size - 1).alpha(), 0) << c.name;
        bool drawn = false;
        for (int y = 0; y < c.size && !drawn; ++y)
            for (int x = 0; x < c.size && !drawn; ++x) drawn = image.pixelColor(x, y).alpha() == 255;
        EXPECT_TRUE(drawn) << c.name;
    }
}

// A word processor refuses a document whose groups do not close, or that has text after its
// last group; the help document is written by hand, so it is checked here.
TEST(HelpDocument, IsOneWellFormedRtfGroupThatStatesItsOwnPageMargins) {
    QFile file(QString::fromStdString(BundleResources()->Child("Velloran.rtfd")->Child("TXT.rtf")->ShellPath().Bytes()));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll().trimmed();
    ASSERT_TRUE(text.startsWith("{\\rtf1\\ansi"));

    int depth = 0;
    qsizetype closedAt = -1;
    for (qsizetype i = 0; i < text.size() && closedAt < 0; ++i) {
        const char c = text[i];
        if (static_cast<unsigned char>(c) > 0x7f) ADD_FAILURE() << "a byte outside ASCII at " << i;
        if (c == '\\') ++i;  // an escaped brace or backslash, or the start of a control word
        else if (c == '{') ++depth;
        else if (c == '}' && --depth == 0) closedAt = i;
    }
    EXPECT_EQ(closedAt, text.size() - 1);

    for (const char* word : {"margl", "margr", "margt", "margb"})
        EXPECT_TRUE(QRegularExpression(QStringLiteral("\\\\%1\\d+").arg(word)).match(QString::fromLatin1(text)).hasMatch())
            << word;
}
