// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include "station/StationAddress.h"

#include <QByteArray>

// What a request asks for beyond the stream itself.
struct StationRequestOptions
{
    // Asks the station to interleave title metadata with the audio.
    bool icyMetadata = false;
};

// The HTTP/1.0 request for a station: the request line, Host, User-Agent
// (Tavrix and its version), Accept, Connection: close, Authorization when the
// address carries one, Icy-MetaData when asked for, and an empty line. No
// value can end a line early: blanks and control characters are sent
// percent-encoded.
QByteArray stationRequest(const StationAddress &address, StationRequestOptions options = {});

// The request target for a path: every byte of its UTF-8 form outside the
// printable ASCII range, blanks included, percent-encoded, so the request
// line stays one line of three words.
QByteArray requestTarget(const QString &path);
