#pragma once

#include <QString>

// Hands documents, links and programs to the desktop. Results are ignored:
// a link or program that cannot be opened does nothing visible.
class Shell
{
public:
    virtual ~Shell() = default;

    // Opens a web address, a "mailto:" address or a file with the user's
    // default handler.
    virtual void OpenDocument(const QString &target) = 0;

    // Starts a program detached, with the given working directory.
    virtual void launchProgram(const QString &program, const QString &workingDirectory) = 0;
};

// Production shell: QDesktopServices for documents; native executables are
// started directly, Windows ".exe" files through wine when it is on the PATH,
// else through the desktop's default handler.
class DesktopShell final : public Shell
{
public:
    void OpenDocument(const QString &target) override;
    void launchProgram(const QString &program, const QString &workingDirectory) override;
};
