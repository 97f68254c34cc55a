// SPDX-License-Identifier: GPL-3.0-or-later
#include "game/GameInstallation.h"

#include <QFileInfo>

QString GameInstallation::gameName() const
{
    switch (game) {
    case Game::Gta3:
        return QStringLiteral("GTA III");
    case Game::ViceCity:
        return QStringLiteral("GTA Vice City");
    case Game::Unknown:
        break;
    }
    return QFileInfo(executable).fileName();
}
