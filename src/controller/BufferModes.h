// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>
#include <array>

// The buffer modes and the sizes offered by the custom mode, in the order of
// the size list. "3076 KB" is 3076 KB, not 3 MB.
namespace BufferModes {

struct CustomSize
{
    const char *text;
    qint32 kilobytes;
};

inline constexpr std::array<CustomSize, 6> CustomSizes{{
    {"128 KB", 128},
    {"512 KB", 512},
    {"1024 KB", 1024},
    {"2048 KB", 2048},
    {"3076 KB", 3076},
    {"4096 KB", 4096},
}};

inline constexpr qint32 ModemKB = 256;      // "56K/ISDN mode"
inline constexpr qint32 BroadbandKB = 1024; // "DSL/Cable/LAN mode"

enum class Mode { Modem, Broadband, Custom };

// The mode chosen for a session and, in the custom mode, the item of the
// size list.
struct Choice
{
    Mode mode = Mode::Modem;
    int customItem = -1;
};

} // namespace BufferModes
