// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CommandLineOptions.h"

#include "platform/DisplayServer.h"
#include "util/Version.h"

#include <QCommandLineParser>
#include <cstdio>

namespace {

const QString ProgramName = QStringLiteral("tavrix");

// The window-system options QGuiApplication and QApplication take from the
// command line; parsed only so that they are not reported as unknown
// ("-platform" is one of Tavrix's listed options, since it replaces a display).
const char *const QtOptionsWithValue[] = {
    "platformpluginpath",
    "platformtheme",
    "plugin",
    "qwindowgeometry",
    "qwindowicon",
    "qwindowtitle",
    "display",
    "geometry",
    "style",
    "stylesheet",
    "session",
    "name",
    "title",
};
const char *const QtSwitches[] = {"reverse", "nograb", "dograb", "sync"};

QString versionText()
{
    return QStringLiteral("Tavrix %1.%2.%3")
        .arg(TAVRIX_VERSION_MAJOR)
        .arg(TAVRIX_VERSION_MINOR)
        .arg(TAVRIX_VERSION_PATCH);
}

// The options Tavrix understands, in the parser that reads them.
struct Grammar
{
    QCommandLineParser parser;
    QCommandLineOption help{{QStringLiteral("h"), QStringLiteral("help")},
                            QStringLiteral("Shows this help and exits.")};
    QCommandLineOption version{{QStringLiteral("v"), QStringLiteral("version")},
                               QStringLiteral("Shows the version and exits.")};
    QCommandLineOption platform{
        QStringLiteral("platform"),
        QStringLiteral("The Qt window-system plugin to use (for example xcb or wayland)."),
        QStringLiteral("name")};

    Grammar()
    {
        parser.setApplicationDescription(
            QStringLiteral("Plays a live Internet radio station in the MP3 player of GTA III "
                           "and GTA Vice City."));
        // "-platform xcb", as Qt programs take it, rather than "-p -l -a ...".
        parser.setSingleDashWordOptionMode(QCommandLineParser::ParseAsLongOptions);
        parser.addOption(help);
        parser.addOption(version);
        parser.addOption(platform);
        for (const char *name : QtOptionsWithValue) {
            QCommandLineOption option(QString::fromLatin1(name), QString(),
                                      QStringLiteral("value"));
            option.setFlags(QCommandLineOption::HiddenFromHelp);
            parser.addOption(option);
        }
        for (const char *name : QtSwitches) {
            QCommandLineOption option(QString::fromLatin1(name));
            option.setFlags(QCommandLineOption::HiddenFromHelp);
            parser.addOption(option);
        }
    }
};

} // namespace

CommandLineOptions::CommandLineOptions(const QStringList &arguments,
                                       const QProcessEnvironment &environment)
{
    Grammar grammar;
    QCommandLineParser &parser = grammar.parser;
    const bool understood = parser.parse(arguments);
    if (parser.isSet(grammar.help)) {
        m_outcome = Outcome::Help;
        return;
    }
    if (parser.isSet(grammar.version)) {
        m_outcome = Outcome::Version;
        m_text = versionText();
        return;
    }
    if (!understood) {
        m_outcome = Outcome::Error;
        m_text = parser.errorText();
        return;
    }
    if (!parser.positionalArguments().isEmpty()) {
        m_outcome = Outcome::Error;
        m_text =
            QStringLiteral("Unexpected argument '%1'.").arg(parser.positionalArguments().first());
        return;
    }
    checkDisplay(parser, environment);
}

void CommandLineOptions::checkDisplay(const QCommandLineParser &parser,
                                      const QProcessEnvironment &environment)
{
    if (!DisplayServer::isRequired())
        return;
    // "-platform" wins over QT_QPA_PLATFORM, which may list plugins to try in
    // turn ("xcb;wayland") and give them arguments ("xcb:option"). Only a
    // start with nothing to fall back to is stopped here.
    const QString platform = parser.isSet(QStringLiteral("platform"))
                                 ? parser.value(QStringLiteral("platform"))
                                 : environment.value(QStringLiteral("QT_QPA_PLATFORM"));
    QStringList plugins;
    for (const QString &entry : platform.split(u';', Qt::SkipEmptyParts))
        plugins << entry.section(u':', 0, 0);
    plugins.removeDuplicates();
    const QString display = parser.isSet(QStringLiteral("display"))
                                ? parser.value(QStringLiteral("display"))
                                : environment.value(QStringLiteral("DISPLAY"));
    const bool waylandFound = !environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty();
    if (plugins.isEmpty() && display.isEmpty() && !waylandFound) {
        m_outcome = Outcome::NoDisplay;
        m_text = QStringLiteral("cannot open a window: no display (neither DISPLAY nor "
                                "WAYLAND_DISPLAY is set)");
        return;
    }
    // Without a choice Qt starts on X11; a Wayland session is left to Qt.
    const bool onX11 =
        plugins == QStringList{QStringLiteral("xcb")} || (plugins.isEmpty() && !waylandFound);
    if (!onX11)
        return;
    if (display.isEmpty()) {
        m_outcome = Outcome::NoDisplay;
        m_text = QStringLiteral("cannot open a window on X11: no display (DISPLAY is not set)");
        return;
    }
    m_displayCheck = std::make_unique<DisplayServer>(display);
    const QString error = m_displayCheck->connectionError();
    if (!error.isEmpty()) {
        m_displayCheck.reset();
        m_outcome = Outcome::DisplayUnreachable;
        m_text = QStringLiteral("cannot connect to the display %1: %2").arg(display, error);
    }
}

CommandLineOptions::~CommandLineOptions() = default;

void CommandLineOptions::closeDisplayCheck()
{
    m_displayCheck.reset();
}

int CommandLineOptions::exitCode() const
{
    switch (m_outcome) {
    case Outcome::Start:
    case Outcome::Help:
    case Outcome::Version:
        return 0;
    case Outcome::Error:
    case Outcome::NoDisplay:
    case Outcome::DisplayUnreachable:
        break;
    }
    return 1;
}

QString CommandLineOptions::message() const
{
    switch (m_outcome) {
    case Outcome::Start:
        return QString();
    case Outcome::Help:
        return Grammar().parser.helpText();
    case Outcome::Version:
        return m_text + QLatin1Char('\n');
    case Outcome::Error:
        return QStringLiteral("%1: %2 Try \"%1 --help\".\n").arg(ProgramName, m_text);
    case Outcome::NoDisplay:
    case Outcome::DisplayUnreachable:
        return QStringLiteral("%1: %2\n").arg(ProgramName, m_text);
    }
    return QString();
}

int CommandLineOptions::report() const
{
    const QByteArray text = message().toLocal8Bit();
    std::FILE *stream = exitCode() == 0 ? stdout : stderr;
    std::fwrite(text.constData(), 1, static_cast<size_t>(text.size()), stream);
    std::fflush(stream);
    return exitCode();
}

QStringList CommandLineOptions::fromMain(int argc, char *argv[])
{
    QStringList arguments;
    arguments.reserve(argc);
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}
