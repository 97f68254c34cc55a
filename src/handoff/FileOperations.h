// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// The file operations of the hand-off to the game folder. Behind an interface
// so tests can make a game file "in use": on Linux an open file can be
// deleted, so the real file system rarely shows that case.
//
// An operation that fails sets *error, when given, to the reason in words
// (the system's own text where the system gave one).
class FileOperations
{
public:
    virtual ~FileOperations() = default;

    virtual bool exists(const QString &path) const = 0;
    virtual bool remove(const QString &path, QString *error = nullptr) = 0;
    // Fails when the target exists.
    virtual bool move(const QString &from, const QString &to, QString *error = nullptr) = 0;
    virtual bool copy(const QString &from, const QString &to, QString *error = nullptr) = 0;
};

class DiskFileOperations final : public FileOperations
{
public:
    bool exists(const QString &path) const override;
    bool remove(const QString &path, QString *error = nullptr) override;
    bool move(const QString &from, const QString &to, QString *error = nullptr) override;
    bool copy(const QString &from, const QString &to, QString *error = nullptr) override;
};
