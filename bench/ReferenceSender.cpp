// SPDX-License-Identifier: GPL-3.0-or-later
#include "ReferenceSender.h"

#include <arpa/inet.h>
#include <cerrno>
#include <ctime>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace ReferenceSender {
namespace {

double seconds(clockid_t clock) {
    timespec now{};
    ::clock_gettime(clock, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

sockaddr_in loopback(std::uint16_t port) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(port);
    return to;
}

} // namespace

Result send(std::uint16_t port, const QList<QByteArray>& lines, std::int64_t delayNs) {
    Result result;
    // On a thread of its own, so that its processor time is its own.
    std::thread sender([&] {
        const sockaddr_in to = loopback(port);
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return;
        const double cpuStart = seconds(CLOCK_THREAD_CPUTIME_ID);
        const double wallStart = seconds(CLOCK_MONOTONIC);
        for (const QByteArray& line : lines) {
            timespec wait{};
            wait.tv_sec = static_cast<time_t>(delayNs / 1000000000);
            wait.tv_nsec = static_cast<long>(delayNs % 1000000000);
            // Without a delay, a bare sendto loop: even a sleep of 0 is a system call that may
            // give the processor away, and would then measure the scheduler instead of the send.
            while (delayNs > 0 && ::clock_nanosleep(CLOCK_MONOTONIC, 0, &wait, &wait) == EINTR) {
            }
            if (::sendto(fd, line.constData(), size_t(line.size()), 0, reinterpret_cast<const sockaddr*>(&to),
                         sizeof to) == line.size())
                ++result.sent;
        }
        result.cpuSeconds = seconds(CLOCK_THREAD_CPUTIME_ID) - cpuStart;
        result.wallSeconds = seconds(CLOCK_MONOTONIC) - wallStart;
        ::close(fd);
    });
    sender.join();
    return result;
}

Result sendBatched(std::uint16_t port, const QList<QByteArray>& lines, int batch) {
    Result result;
    std::thread sender([&] {
        const sockaddr_in to = loopback(port);
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return;
        std::vector<mmsghdr> messages(static_cast<size_t>(batch));
        std::vector<iovec> parts(static_cast<size_t>(batch));
        const double cpuStart = seconds(CLOCK_THREAD_CPUTIME_ID);
        const double wallStart = seconds(CLOCK_MONOTONIC);
        for (qsizetype first = 0; first < lines.size(); first += batch) {
            const int count = int(std::min<qsizetype>(batch, lines.size() - first));
            for (int i = 0; i < count; ++i) {
                const QByteArray& line = lines.at(first + i);
                parts[size_t(i)] = {const_cast<char*>(line.constData()), size_t(line.size())};
                messages[size_t(i)] = mmsghdr{};
                messages[size_t(i)].msg_hdr.msg_name = const_cast<sockaddr_in*>(&to);
                messages[size_t(i)].msg_hdr.msg_namelen = sizeof to;
                messages[size_t(i)].msg_hdr.msg_iov = &parts[size_t(i)];
                messages[size_t(i)].msg_hdr.msg_iovlen = 1;
            }
            const int sent = ::sendmmsg(fd, messages.data(), unsigned(count), 0);
            if (sent > 0)
                result.sent += sent;
        }
        result.cpuSeconds = seconds(CLOCK_THREAD_CPUTIME_ID) - cpuStart;
        result.wallSeconds = seconds(CLOCK_MONOTONIC) - wallStart;
        ::close(fd);
    });
    sender.join();
    return result;
}

Result sendOnSchedule(std::uint16_t port, const QList<QByteArray>& lines,
                      const std::vector<std::int64_t>& dueNs) {
    Result result;
    std::thread sender([&] {
        const sockaddr_in to = loopback(port);
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return;
        const double cpuStart = seconds(CLOCK_THREAD_CPUTIME_ID);
        timespec start{};
        ::clock_gettime(CLOCK_MONOTONIC, &start);
        const std::int64_t startNs = std::int64_t(start.tv_sec) * 1000000000 + start.tv_nsec;
        for (qsizetype k = 0; k < lines.size() && size_t(k) < dueNs.size(); ++k) {
            const std::int64_t at = startNs + dueNs[size_t(k)];
            const timespec due{static_cast<time_t>(at / 1000000000), static_cast<long>(at % 1000000000)};
            while (::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr) == EINTR) {
            }
            const QByteArray& line = lines.at(k);
            if (::sendto(fd, line.constData(), size_t(line.size()), 0, reinterpret_cast<const sockaddr*>(&to),
                         sizeof to) == line.size())
                ++result.sent;
        }
        result.cpuSeconds = seconds(CLOCK_THREAD_CPUTIME_ID) - cpuStart;
        result.wallSeconds = seconds(CLOCK_MONOTONIC) - double(startNs) / 1e9;
        ::close(fd);
    });
    sender.join();
    return result;
}

} // namespace ReferenceSender
