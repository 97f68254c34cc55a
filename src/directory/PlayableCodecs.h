// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

struct DirectoryStation;

// Whether this build can bring the station to the game: MP3 as it is, the
// others through the converter. Stations outside this set are shown as "may
// not play".
bool isPlayable(const DirectoryStation &station);
