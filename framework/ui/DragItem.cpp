#include "DragItem.h"

#include <algorithm>
#include <cctype>

#include "runtime/FileType.h"

namespace {
bool EndsWithIgnoringCase(std::string_view text, std::string_view end) {
    return text.size() >= end.size() &&
           std::equal(end.rbegin(), end.rend(), text.rbegin(), [](char a, char b) {
               return std::tolower(static_cast<unsigned char>(a)) == std::tolower(static_cast<unsigned char>(b));
           });
}

// The document kinds that the platform keeps as folders (packages); every other kind is a file.
bool IsPackageExtension(std::string_view extension) { return extension == ".rtfd"; }
}  // namespace

bool IsOfFileKind(const FolderItem& item, std::string_view kind) {
    if (!item.Exists()) return false;
    if (kind == "special/any") return true;
    const std::string path = item.ShellPath().Bytes();
    for (const FileTypeRegistration& type : RuntimeRegisteredFileTypes()) {
        if (type.name != kind) continue;
        std::string_view extensions = type.extensions;
        while (!extensions.empty()) {
            const size_t end = std::min(extensions.find(';'), extensions.size());
            const std::string_view extension = extensions.substr(0, end);
            if (EndsWithIgnoringCase(path, extension) && item.Directory() == IsPackageExtension(extension))
                return true;
            extensions.remove_prefix(std::min(end + 1, extensions.size()));
        }
    }
    return false;
}
