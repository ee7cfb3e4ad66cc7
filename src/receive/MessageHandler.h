// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QByteArrayView>
#include <QHostAddress>

#include <functional>

// What a listener hands on for each message: its bytes, valid only during the call, and the
// address it came from.
using MessageHandler = std::function<void(QByteArrayView message, const QHostAddress& sender)>;
