#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include "TestSupport.h"
#include "ui/Picture.h"
#include "window/BundlePictures.h"

namespace {
QString Path(const Ref<FolderItem>& item) { return QString::fromStdString(item->ShellPath().Bytes()); }

void Write(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    file.write(bytes);
}

QByteArray Read(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}
}  // namespace

TEST(BundlePictures, TheResourcesFolderIsFoundFromTheExecutable) {
    const QString executableFolder = QCoreApplication::applicationDirPath();
    EXPECT_EQ(Path(ResourcesFolder()), QDir::cleanPath(executableFolder + "/../Resources"));
    EXPECT_TRUE(ResourcesFolder()->Directory());

    QDir::setCurrent(QDir::tempPath());  // never the current folder
    EXPECT_EQ(Path(ResourcesFolder()), QDir::cleanPath(executableFolder + "/../Resources"));
}

// The accessors run in a copy of this bundle, whose pictures the test may change.
TEST(BundlePictures, APictureLoadsOnceAndAMissingOneIsSoughtAgainAtEveryCall) {
    const auto [exitCode, output] = RunInPrivateBundle(
        {"ClearMiniIcon.png", "SendMiniIcon.png", "VelloranDrop.png"}, "PicturesInAPrivateBundle.*");
    EXPECT_EQ(exitCode, 0) << output;
    EXPECT_NE(output.find("[  PASSED  ] 1 test."), std::string::npos) << output;
}

// The half of the test above that runs in the copied bundle.
TEST(PicturesInAPrivateBundle, LoadOnceRetryUntilAPictureComes) {
    const QString bundle = qEnvironmentVariable(kPrivateBundle);
    if (bundle.isEmpty()) GTEST_SKIP() << "runs in a bundle of its own, started by BundlePictures";
    const QString resources = Path(ResourcesFolder());
    ASSERT_EQ(resources, QDir::cleanPath(bundle + "/Contents/Resources"));  // never the shared bundle

    // A picture that loaded is kept: the file is not read again.
    Ref<Picture> drop = VelloranDrop();
    ASSERT_NE(drop, nullptr);
    EXPECT_EQ(drop->Width(), 128);
    ASSERT_TRUE(QFile::remove(resources + "/VelloranDrop.png"));
    EXPECT_EQ(VelloranDrop(), drop);

    // A file that gives no picture gives nil, every time, until it does give one.
    const QByteArray png = Read(resources + "/SendMiniIcon.png");
    Write(resources + "/SendMiniIcon.png", "not a picture");
    EXPECT_EQ(SendMiniIcon(), nullptr);
    EXPECT_EQ(SendMiniIcon(), nullptr);
    Write(resources + "/SendMiniIcon.png", png);
    Ref<Picture> send = SendMiniIcon();
    EXPECT_NE(send, nullptr);
    EXPECT_EQ(SendMiniIcon(), send);

    // The other accessor was not touched by either.
    EXPECT_NE(ClearMiniIcon(), nullptr);
}
