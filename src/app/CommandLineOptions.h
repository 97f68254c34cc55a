// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>
#include <memory>

class DisplayServer;
class QCommandLineParser;

// Reads the program's command line before any window system is touched, so
// that "--help" and "--version" work without a display and a start without
// one, or with an X display nobody answers on, ends with a short message
// instead of the window system's abort.
//
// Qt's own window-system options (-platform, -display, -style, ...) are
// accepted and left in place for QApplication.
class CommandLineOptions final
{
public:
    enum class Outcome {
        Start,              // open the windows
        Help,               // print the usage on standard output, exit 0
        Version,            // print the version on standard output, exit 0
        Error,              // unusable command line: message on standard error, exit 1
        NoDisplay,          // nothing to show windows on: message on standard error, exit 1
        DisplayUnreachable, // the X display cannot be used: message on standard error, exit 1
    };

    // arguments: the whole command line, program name first. A start on X11
    // (Qt's xcb plugin) connects to the display it will use and keeps that
    // connection until closeDisplayCheck().
    CommandLineOptions(const QStringList &arguments, const QProcessEnvironment &environment);
    ~CommandLineOptions();
    CommandLineOptions(const CommandLineOptions &) = delete;
    CommandLineOptions &operator=(const CommandLineOptions &) = delete;

    Outcome outcome() const { return m_outcome; }
    int exitCode() const;

    // The text printed for every outcome but Start. The usage text names the
    // program the way QCommandLineParser does, from the running
    // QCoreApplication, so one must exist when the outcome is Help.
    QString message() const;

    // Prints message() on standard output or standard error as the outcome
    // says and returns exitCode().
    int report() const;

    // Ends the display check's connection. Called once QApplication has its
    // own: were the check's the server's only client, its end would reset
    // the server under QApplication's connection.
    void closeDisplayCheck();

    // Converts main()'s arguments the way QCoreApplication does.
    static QStringList fromMain(int argc, char *argv[]);

private:
    void checkDisplay(const QCommandLineParser &parser, const QProcessEnvironment &environment);

    Outcome m_outcome = Outcome::Start;
    QString m_text;
    std::unique_ptr<DisplayServer> m_displayCheck;
};
