#include "QtDesktop.h"

#include <QApplication>
#include <QDesktopServices>
#include <QLabel>
#include <QMessageBox>
#include <QUrl>

#include "FileAddress.h"

namespace {
QString ToQt(const String& text) { return QString::fromUtf8(text.View().data(), qsizetype(text.Size())); }

#ifdef Q_OS_MACOS
constexpr bool kDesktopOpensPackages = true;
#else
constexpr bool kDesktopOpensPackages = false;
#endif
}  // namespace

void QtDesktop::Beep() { QApplication::beep(); }

void QtDesktop::MessageBox(const String& text) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), ToQt(text),
                    QMessageBox::Ok, QApplication::activeWindow());
    // The text often holds a document's name, which is shown as it is, never read as markup;
    // no address in it is opened but through the desktop.
    box.setTextFormat(Qt::PlainText);
    for (QLabel* label : box.findChildren<QLabel*>()) label->setOpenExternalLinks(false);
    box.exec();
}

// Qt hands the document to the desktop's own opener (Launch Services, xdg-open and the like) as
// an encoded URL in a process of its own, never through a shell; the opener's failure is not
// the program's to report.
void QtDesktop::Launch(const String& path) {
    const String target = LaunchTarget(path, kDesktopOpensPackages);
    QDesktopServices::openUrl(FileAddressOf(target));
}

void QtDesktop::OpenURL(const String& url) { QDesktopServices::openUrl(QUrl(ToQt(url))); }
