#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "runtime/FileType.h"
#include "shell/FileTypes.h"
#include "ui/DragItem.h"

TEST(FileKind, ADropAreaTakesItemsByTheirRegisteredKind) {
    RuntimeClearFileTypes();
    InitFileTypes();
    QTemporaryDir dir;
    for (const char* file : {"Letter.rtf", "LOUD.RTF", "notes.txt", "fake.rtfd"}) {
        QFile f(dir.filePath(file));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    }
    for (const char* folder : {"Report.rtfd", "folder.rtf", "plain"}) ASSERT_TRUE(QDir(dir.path()).mkdir(folder));

    struct Case {
        const char* name;
        bool rtf, rtfd, any;
    };
    const Case cases[] = {
        {"Letter.rtf", true, false, true},  {"LOUD.RTF", true, false, true},   {"notes.txt", false, false, true},
        {"fake.rtfd", false, false, true},  {"Report.rtfd", false, true, true}, {"folder.rtf", false, false, true},
        {"plain", false, false, true},      {"missing.rtf", false, false, false},
    };
    for (const Case& c : cases) {
        auto item = FolderItem::FromShellPath(String(dir.filePath(c.name).toStdString()));
        EXPECT_EQ(IsOfFileKind(*item, "application/rtf"), c.rtf) << c.name;
        EXPECT_EQ(IsOfFileKind(*item, "application/rtfd"), c.rtfd) << c.name;
        EXPECT_EQ(IsOfFileKind(*item, "special/any"), c.any) << c.name;
        EXPECT_FALSE(IsOfFileKind(*item, "application/x-unregistered")) << c.name;
    }
    ReleaseFileTypeRtf();
    ReleaseFileTypeText();
    ReleaseFileTypeRtfd();
}
