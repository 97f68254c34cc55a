// SPDX-License-Identifier: GPL-3.0-or-later
#include "app/CommandLineOptions.h"

#include "util/Version.h"

#include <QCommandLineParser>
#include <cstdio>

namespace {

// On X11 and Wayland systems QApplication aborts when it finds no display.
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
constexpr bool NeedsDisplayServer = true;
#else
constexpr bool NeedsDisplayServer = false;
#endif

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
    const bool platformChosen = parser.isSet(grammar.platform) ||
                                !environment.value(QStringLiteral("QT_QPA_PLATFORM")).isEmpty();
    const bool displayFound = !environment.value(QStringLiteral("DISPLAY")).isEmpty() ||
                              !environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty();
    if (NeedsDisplayServer && !platformChosen && !displayFound) {
        m_outcome = Outcome::NoDisplay;
        m_text = QStringLiteral("cannot open a window: no display (neither DISPLAY nor "
                                "WAYLAND_DISPLAY is set)");
    }
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
