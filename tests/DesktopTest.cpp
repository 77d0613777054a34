#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include "TestSupport.h"
#include "files/FolderItem.h"
#include "ui/FileAddress.h"

namespace {
struct Item {
    const char* name;
    bool folder;
};

void Make(const QDir& root, const Item& item) {
    if (item.folder) {
        ASSERT_TRUE(root.mkpath(item.name));
    } else {
        QFile file(root.filePath(item.name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    }
}
}  // namespace

TEST(LaunchTarget, OnlyAPackageFolderStandsForItsTextWhereTheDesktopKnowsNoPackages) {
    QTemporaryDir temporary;
    ASSERT_TRUE(temporary.isValid());
    const QDir root(temporary.path());
    for (const Item& item : {Item{"Help.rtfd", true}, Item{"Help.rtfd/TXT.rtf", false}, Item{"Plain.rtfd", false},
                             Item{"Notes", true}, Item{"Old.rtfd.bak", true}, Item{"Letter.rtf", false},
                             Item{"With space #1.rtfd", true}, Item{"Loud.RTFD", true}})
        Make(root, item);

    struct Case {
        const char* name;
        const char* elsewhere;  // what a desktop without packages is asked to open
    };
    const Case cases[] = {
        {"Help.rtfd", "Help.rtfd/TXT.rtf"},
        {"Loud.RTFD", "Loud.RTFD/TXT.rtf"},                    // the reader, too, ignores the letter case
        {"With space #1.rtfd", "With space #1.rtfd/TXT.rtf"},  // no TXT.rtf: the opener fails on its own
        {"Plain.rtfd", "Plain.rtfd"},                          // a file, not a package
        {"Missing.rtfd", "Missing.rtfd"},
        {"Old.rtfd.bak", "Old.rtfd.bak"},
        {"Notes", "Notes"},
        {"Letter.rtf", "Letter.rtf"},
    };
    for (const Case& c : cases) {
        const std::string path = root.filePath(c.name).toStdString();
        EXPECT_EQ(LaunchTarget(String(path), false).Bytes(), root.filePath(c.elsewhere).toStdString()) << c.name;
        EXPECT_EQ(LaunchTarget(String(path), true).Bytes(), path) << c.name;
    }
}

TEST(LaunchTarget, APackageIsLaunchedAsThePackageAndTheDesktopDecidesWhatOpens) {
    QTemporaryDir temporary;
    ASSERT_TRUE(QDir(temporary.path()).mkpath("Help.rtfd"));
    const Ref<FolderItem> package =
        FolderItem::FromShellPath(String(QDir(temporary.path()).filePath("Help.rtfd").toStdString()));

    package->Launch(true);

    EXPECT_EQ(Recorded().calls, std::vector<std::string>{"Launch " + package->ShellPath().Bytes()});
}

TEST(FileAddress, CarriesTheNamesBytesBothWays) {
    for (const std::string path : {"/tmp/caf\xE9.rtf", "/tmp/With space #1 %41?.rtfd", "/"}) {
        const QUrl address = FileAddressOf(String(path));
        SCOPED_TRACE(address.toEncoded().toStdString());
        EXPECT_TRUE(address.isLocalFile());
        const Ref<FolderItem> item = FolderItemOfFileAddress(address);
        ASSERT_NE(item, nullptr);
        EXPECT_EQ(item->ShellPath().Bytes(), path);
    }
    EXPECT_EQ(FileAddressOf("/tmp/caf\xE9.rtf").toEncoded(), "file:///tmp/caf%E9.rtf");
}
