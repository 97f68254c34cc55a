// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The file operations of the hand-off to the game folder. Behind an interface
// so tests can make a game file "in use": on Linux an open file can be
// deleted or replaced, so the real file system never shows that case.
//
// An operation that fails sets *error, when given, to the reason in words
// (the system's own text where the system gave one).
class FileOperations
{
public:
    virtual ~FileOperations() = default;

    virtual bool exists(const QString &path) const = 0;
    virtual bool remove(const QString &path, QString *error = nullptr) = 0;

    enum class Replaced { Yes, TargetInUse, Failed };
    // Moves `from` to `to` in one step, taking the place of a file of that
    // name, so that `to` never stands missing (a rename over it; across file
    // systems a copy beside `to` is renamed over it). TargetInUse when the
    // system refuses because another program holds `to` open, as Windows
    // does for the file the game plays.
    virtual Replaced replace(const QString &from, const QString &to, QString *error = nullptr) = 0;
    virtual bool copy(const QString &from, const QString &to, QString *error = nullptr) = 0;
};

class DiskFileOperations final : public FileOperations
{
public:
    bool exists(const QString &path) const override;
    bool remove(const QString &path, QString *error = nullptr) override;
    Replaced replace(const QString &from, const QString &to, QString *error = nullptr) override;
    bool copy(const QString &from, const QString &to, QString *error = nullptr) override;
};
