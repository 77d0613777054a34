#include "TextOutputStream.h"

#include <QSaveFile>
#include <algorithm>

#include "QtFileName.h"
#include "runtime/RuntimeException.h"

Ref<TextOutputStream> TextOutputStream::Create(const Ref<FolderItem>& item) {
    if (!item) throw NilObjectException("TextOutputStream.Create was given a nil item");
    auto file = std::make_unique<QSaveFile>(QtFileName(*item));
    if (!file->open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        throw IOException("Cannot write " + item->ShellPath().Bytes() + ": " +
                          file->errorString().toStdString());
    return Ref<TextOutputStream>(new TextOutputStream(std::move(file), item->ShellPath().Bytes()));
}

TextOutputStream::TextOutputStream(std::unique_ptr<QSaveFile> file, std::string path)
    : file_(std::move(file)), path_(std::move(path)) {}

TextOutputStream::~TextOutputStream() = default;

// A short write is no error to QSaveFile, and committing after it would cut the file short:
// the rest is written again until the system names its reason.
void TextOutputStream::Write(std::string_view bytes) {
    if (!file_) Fail(closed_ ? "the stream is closed" : "an earlier step failed");
    while (!bytes.empty()) {
        const qint64 chunk = static_cast<qint64>(std::min<size_t>(bytes.size(), size_t{1} << 30));
        const qint64 written = file_->write(bytes.data(), chunk);
        if (written <= 0) Fail(written < 0 ? file_->errorString().toStdString() : "nothing could be written");
        bytes.remove_prefix(static_cast<size_t>(written));
    }
}

void TextOutputStream::Close() {
    if (closed_) return;
    if (!file_) Fail("an earlier step failed");
    if (!file_->commit()) Fail(file_->errorString().toStdString());
    file_.reset();
    closed_ = true;
}

// Destroying the unfinished QSaveFile removes its temporary file.
void TextOutputStream::Fail(const std::string& reason) {
    file_.reset();
    throw IOException("Cannot write " + path_ + ": " + reason);
}
