#pragma once

// The three kinds of document the application declares: Rich Text files, plain-text files and
// Rich Text packages. Registered at start-up, withdrawn at exit.
void InitFileTypes();
void RegisterFileTypeRtf();
void RegisterFileTypeText();
void RegisterFileTypeRtfd();
void ReleaseFileTypeRtf();
void ReleaseFileTypeText();
void ReleaseFileTypeRtfd();
