// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

// What a program the test runs (ffmpeg, openssl, mount, ...) gave.
struct ToolRun
{
    bool ok = false; // it ended normally, with status 0
    QByteArray out;
    QByteArray err;
    // When not ok: "<program> did not start: ...", "<program> did not finish
    // in time" or "<program> <arguments> failed: <what it wrote>".
    QString failure;
};

// Runs `program` with `arguments` to its end; one that takes longer than
// `timeoutMs` is killed.
ToolRun runTool(const QString &program, const QStringList &arguments, int timeoutMs = 60000);
