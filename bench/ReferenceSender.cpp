#include "ReferenceSender.h"

#include <arpa/inet.h>
#include <cerrno>
#include <ctime>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace ReferenceSender {

bool send(quint16 port, const QList<QByteArray>& lines, double delaySeconds) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    to.sin_port = htons(port);
    const long long delayNs = static_cast<long long>(delaySeconds * 1e9);
    timespec due{};
    ::clock_gettime(CLOCK_MONOTONIC, &due);
    for (const QByteArray& line : lines) {
        // One delay after the previous send (or the start), as the run paces its lines.
        const long long ns = static_cast<long long>(due.tv_nsec) + delayNs;
        due.tv_sec += static_cast<time_t>(ns / 1000000000LL);
        due.tv_nsec = static_cast<long>(ns % 1000000000LL);
        while (delayNs > 0 && ::clock_nanosleep(CLOCK_MONOTONIC, TIMER_ABSTIME, &due, nullptr) == EINTR) {
        }
        ::sendto(fd, line.constData(), static_cast<size_t>(line.size()), 0, reinterpret_cast<sockaddr*>(&to),
                 sizeof to);
        ::clock_gettime(CLOCK_MONOTONIC, &due);
    }
    ::close(fd);
    return true;
}

} // namespace ReferenceSender
