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
const char* const kPrivateBundle = "VELLORAN_PRIVATE_BUNDLE";

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

// Runs the accessors in a copy of this bundle, whose pictures this test may change, so that the
// bundle the other tests share stays as it is.
TEST(BundlePictures, APictureLoadsOnceAndAMissingOneIsSoughtAgainAtEveryCall) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString bundle = dir.path() + "/Copy.app";
    ASSERT_TRUE(QDir().mkpath(bundle + "/Contents/MacOS"));
    ASSERT_TRUE(QDir().mkpath(bundle + "/Contents/Resources"));
    const QString executable = bundle + "/Contents/MacOS/" + QFileInfo(QCoreApplication::applicationFilePath()).fileName();
    ASSERT_TRUE(QFile::copy(QCoreApplication::applicationFilePath(), executable));
    for (const char* name : {"ClearMiniIcon.png", "SendMiniIcon.png", "VelloranDrop.png"})
        ASSERT_TRUE(QFile::copy(Path(ResourcesFolder()) + "/" + name, bundle + "/Contents/Resources/" + name));

    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(kPrivateBundle, bundle);
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(executable, {"--gtest_filter=PicturesInAPrivateBundle.*"});
    ASSERT_TRUE(child.waitForFinished(120000));
    const std::string output = child.readAll().toStdString();
    EXPECT_EQ(child.exitCode(), 0) << output;
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
