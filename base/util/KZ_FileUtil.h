// Path splitting, existence tests and the file and folder dialogs. Paths may use '/' and
// '\\' alike; existing files are found whatever the case of the name asked for.
#pragma once
#include <string>

// 1 when the path names a file that opens for reading, else 0 (folders give 0).
int KZ_FileExists(const char* path);
int KZ_FileExistsStr(const std::string& path);

// The path up to and including its last '/' or '\\' (whichever comes later); empty when
// it has none.
std::string KZ_GetFolder(const std::string& path);
// The text after the last separator; with dropExt, cut before its last '.'.
std::string KZ_GetFileName(const std::string& path, int dropExt);
// The text after the last '.' of the file name; empty when the name has no '.' or starts
// with it (".profile"). Dots in folder names never count.
std::string KZ_GetFileExt(const std::string& path);
// 1 when s ends with suffix, compared without regard to case.
int KZ_HasSuffix(const std::string& s, const char* suffix);

// The open dialog (the file must exist) and the save dialog (overwrite prompt, no
// read-only box) with a title and a filter "desc|pattern|...||"; the chosen path, or an
// empty text when the user cancels. The parent is not used: dialogs belong to the
// program's main window.
std::string KZ_OpenFileDialog(const char* title, const char* filter, void* parent = nullptr);
std::string KZ_SaveFileDialog(const char* title, const char* filter, void* parent = nullptr);

// The folder dialog with the title; the chosen folder goes to `folder`. Returns the free
// space for the user on that file system in millions of bytes, 0 when cancelled (folder
// then empty) or when the space cannot be read.
int KZ_BrowseFolder(const char* title, std::string& folder);

// A folder chosen with KZ_BrowseFolder, with a trailing separator ('/' when the path holds
// one, else '\\'); empty when cancelled. With confirm, the folder becomes the current
// directory, its "*.sg2" files are counted and the user is asked "%d sg2 file found in
// %s, are you sure?"; No gives an empty text.
std::string KZ_BrowseSg2Folder(const char* title, int confirm);
