#pragma once

#include <string>
#include <windows.h>

// The directory of the plug-in's own library file, with its trailing separator,
// in a form whose files the platform's INI and file functions can open: its
// short form when the whole path is too long for them. Empty when the plug-in
// lies at a path that has no such form: then no file is read or written.
std::wstring GetPluginDirectory();

// The full path of a module's file (of the process's executable when module is
// null), read whole however long; empty when the platform gives none.
std::wstring ModuleFilePath(HMODULE module);

// A path in its "\\?\" form, which reaches any depth, and without it again, as
// the platform's INI functions take a path.
std::wstring LongPathForm(const std::wstring& path);
std::wstring OrdinaryPathForm(const std::wstring& path);

// A directory, with its separator, in which the platform's INI functions (which
// copy a path into MAX_PATH characters) can reach every file the plug-in keeps:
// the directory itself, or its short form; empty when neither is short enough.
std::wstring ReachableDirectory(const std::wstring& directory);

// The directory part of a path, up to and including its last "\" or "/";
// empty when the path holds no separator.
std::wstring DirectoryOfPath(const wchar_t* path);
