#include "FileType.h"

#include <algorithm>

#include "Trace.h"

namespace {
// Never destroyed, for the same reason as the trace: a file type may be released after exit().
std::vector<FileTypeRegistration>& Registrations() {
    static auto* registrations = new std::vector<FileTypeRegistration>;
    return *registrations;
}
}  // namespace

FileType::~FileType() {
    if (registered_) RuntimeDeregisterFileType(Name);
}

String FileType::Operator_Convert() {
    if (!registered_) {
        RuntimeRegisterFileType(Name, MacCreator, MacType, Extensions);
        registered_ = true;
    }
    return Name;
}

void RuntimeRegisterFileType(const String& name, const String& macCreator, const String& macType,
                             const String& extensions) {
    RuntimeTrace("RuntimeRegisterFileType " + name.Bytes());
    Registrations().push_back({name.Bytes(), macCreator.Bytes(), macType.Bytes(), extensions.Bytes()});
}

void RuntimeDeregisterFileType(const String& name) {
    RuntimeTrace("RuntimeDeregisterFileType " + name.Bytes());
    auto& all = Registrations();
    all.erase(std::remove_if(all.begin(), all.end(),
                             [&](const FileTypeRegistration& r) { return r.name == name.View(); }),
              all.end());
}

const std::vector<FileTypeRegistration>& RuntimeRegisteredFileTypes() { return Registrations(); }

bool RuntimeIsFileTypeRegistered(std::string_view name) {
    const auto& all = Registrations();
    return std::any_of(all.begin(), all.end(), [&](const FileTypeRegistration& r) { return r.name == name; });
}

void RuntimeClearFileTypes() { Registrations().clear(); }
