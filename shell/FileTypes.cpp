#include "FileTypes.h"

#include "runtime/FileType.h"

namespace {
Ref<FileType> FileTypeRtf;
Ref<FileType> FileTypeText;
Ref<FileType> FileTypeRtfd;

Ref<FileType> MakeFileType(const char* name, const char* extensions, const char* macType, const char* macCreator) {
    auto type = std::make_shared<FileType>();
    type->Name = name;
    type->Extensions = extensions;
    type->MacType = macType;
    type->MacCreator = macCreator;
    return type;
}

void Release(Ref<FileType>& variable) {
    Ref<FileType> held = std::move(variable);
    variable = nullptr;
    held.reset();  // destroying it withdraws its registration
}
}  // namespace

void InitFileTypes() {
    FileTypeRtf = MakeFileType("application/rtf", ".rtf", "TEXT", "");
    FileTypeRtf->Operator_Convert();
    FileTypeText = MakeFileType(
        "text/plain",
        ".asc;.ascii;.bas;.c;.class;.cp;.cpp;.h;.hp;.hpp;.i3;.java;.m2;.m3;.mak;.text;.txt",
        "TEXT", "txt");
    FileTypeText->Operator_Convert();
    FileTypeRtfd = MakeFileType("application/rtfd", ".rtfd", "", "");
    FileTypeRtfd->Operator_Convert();
}

// The class-registration pass calls these; the file types need no class of their own.
void RegisterFileTypeRtf() {}
void RegisterFileTypeText() {}
void RegisterFileTypeRtfd() {}

void ReleaseFileTypeRtf() { Release(FileTypeRtf); }
void ReleaseFileTypeText() { Release(FileTypeText); }
void ReleaseFileTypeRtfd() { Release(FileTypeRtfd); }
