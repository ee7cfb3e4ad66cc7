// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once

#include <QString>

// Our error model for the run's error display ("Err: <number> : <description>").
// Numbers are stable: users quote them in reports.
struct RunError {
    enum Number : int {
        None = 0,
        Overflow = 6,         // line counter past 2147483647
        OutOfMemory = 7,      // a line of a stream too long to hold
        BadFileNumber = 52,   // source not open (it could not be opened)
        FileNotFound = 53,    // passed over by the run's error trap
        FileAlreadyOpen = 55, // passed over by the run's error trap
        DeviceIo = 57,        // read or write error of the device
        DiskFull = 61,
        InputPastEnd = 62, // a line index that points past the file's end
        PermissionDenied = 70,
        PathFileAccess = 75,         // the path exists but is not a usable file (a directory, ...)
        PathNotFound = 76,           // the folder does not exist
        DatagramTooLong = 10040,     // a line longer than one UDP datagram can carry
        DestinationUnusable = 10049, // host that is no address and does not resolve
        SendFailed = 10065,          // the socket refused the datagram
    };

    int number = None;
    QString description;

    bool isError() const { return number != None; }
    // File not found and file already open are passed over: the failing step does nothing.
    bool isPassedOver() const { return number == FileNotFound || number == FileAlreadyOpen; }

    static RunError none() { return {}; }
    static RunError make(int number, const QString& description) { return {number, description}; }
};
