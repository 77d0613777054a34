#include "QtDesktop.h"

#include <QApplication>
#include <QDesktopServices>
#include <QMessageBox>
#include <QUrl>

namespace {
QString ToQt(const String& text) { return QString::fromUtf8(text.View().data(), qsizetype(text.Size())); }
}  // namespace

void QtDesktop::Beep() { QApplication::beep(); }

void QtDesktop::MessageBox(const String& text) {
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), ToQt(text),
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
}

void QtDesktop::Launch(const String& path) {
    QDesktopServices::openUrl(QUrl::fromLocalFile(ToQt(path)));
}

void QtDesktop::OpenURL(const String& url) { QDesktopServices::openUrl(QUrl(ToQt(url))); }
