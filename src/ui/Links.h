// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Every web and mail address the windows open, kept in one place.
namespace Links {

// The product's web page: the start-up dialog's "Website", the About window's
// banner and "Tavrix website".
inline QString productPage()
{
    return QStringLiteral("https://tavrix.oribel.net/");
}

// The maker's home page, and the short form the About window shows for it.
inline QString makerHomePage()
{
    return QStringLiteral("https://www.oribel.net/");
}

inline QString makerHomePageShort()
{
    return QStringLiteral("www.oribel.net");
}

// A new mail to the author, with the product name as its subject.
inline QString authorMail()
{
    return QStringLiteral("mailto:makers@oribel.net?subject=Tavrix:");
}

// The web site of the station directory that the main window's "Find..."
// searches.
inline QString stationDirectory()
{
    return QStringLiteral("https://www.radio-browser.info/");
}

} // namespace Links
