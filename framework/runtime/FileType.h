#pragma once

#include <string>
#include <vector>

#include "Object.h"
#include "String.h"

// A kind of document that the application declares to the framework. Converting it to a String
// registers it once; destroying a registered file type withdraws it.
class FileType : public Object {
public:
    ~FileType() override;

    String Name, Extensions, MacType, MacCreator;

    String Operator_Convert();

private:
    bool registered_ = false;
};

struct FileTypeRegistration {
    std::string name, macCreator, macType, extensions;
};

void RuntimeRegisterFileType(const String& name, const String& macCreator, const String& macType,
                             const String& extensions);
void RuntimeDeregisterFileType(const String& name);
const std::vector<FileTypeRegistration>& RuntimeRegisteredFileTypes();
bool RuntimeIsFileTypeRegistered(std::string_view name);
void RuntimeClearFileTypes();
