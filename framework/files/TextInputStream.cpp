#include "TextInputStream.h"

#include <QFile>
#include <algorithm>

#include "QtFileName.h"
#include "runtime/RuntimeException.h"

Ref<TextInputStream> TextInputStream::Open(const Ref<FolderItem>& item) {
    if (!item) throw NilObjectException("TextInputStream.Open was given a nil item");
    auto file = std::make_unique<QFile>(QtFileName(*item));
    if (!file->open(QIODevice::ReadOnly | QIODevice::Unbuffered))
        throw IOException("Cannot open " + item->ShellPath().Bytes() + " for reading: " +
                          file->errorString().toStdString());
    return Ref<TextInputStream>(new TextInputStream(std::move(file), item->ShellPath().Bytes()));
}

TextInputStream::TextInputStream(std::unique_ptr<QFile> file, std::string path)
    : file_(std::move(file)), path_(std::move(path)) {}

TextInputStream::~TextInputStream() = default;

// The bytes go straight into the String's own storage: a document is held once, not copied.
String TextInputStream::ReadAll() {
    if (!file_) Fail("the stream is closed");
    std::string bytes(static_cast<size_t>(std::max<qint64>(file_->size() - file_->pos(), 0)), '\0');
    size_t have = 0;
    while (have < bytes.size()) {
        const qint64 got = file_->read(bytes.data() + have, static_cast<qint64>(bytes.size() - have));
        if (got < 0) Fail(file_->errorString().toStdString());
        if (got == 0) break;
        have += static_cast<size_t>(got);
    }
    bytes.resize(have);
    // A file that grew since its size was taken is read to its end.
    char more[64 * 1024];
    qint64 got;
    while ((got = file_->read(more, sizeof more)) > 0) bytes.append(more, static_cast<size_t>(got));
    if (got < 0) Fail(file_->errorString().toStdString());
    return String(std::move(bytes));
}

void TextInputStream::Close() { file_.reset(); }

void TextInputStream::Fail(const std::string& what) const {
    throw IOException("Cannot read " + path_ + ": " + what);
}
