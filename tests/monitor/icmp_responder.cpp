// SPDX-License-Identifier: GPL-3.0-or-later
// velmora-icmp-responder ADDRESS: where the kernel ignores echo requests, answers those to
// ADDRESS after the delay in ms last read from standard input (one number a line; 0 at first).
// Ends when its input closes, and after two minutes at most.

#include <algorithm>
#include <arpa/inet.h>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <netinet/in.h>
#include <poll.h>
#include <string>
#include <sys/socket.h>
#include <unistd.h>

int main(int argc, char** argv)
{
    using Clock = std::chrono::steady_clock;
    in_addr target{};
    if (argc != 2 || inet_pton(AF_INET, argv[1], &target) != 1) {
        std::fprintf(stderr, "usage: velmora-icmp-responder IPV4-ADDRESS\n");
        return 64;
    }
    const int fd = socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    if (fd < 0) {
        std::perror("velmora-icmp-responder: raw socket");
        return 1;
    }
    std::multimap<Clock::time_point, std::pair<sockaddr_in, std::string>> due;
    long delayMs = 0;
    std::string input;
    for (const auto end = Clock::now() + std::chrono::minutes(2); Clock::now() < end;) {
        const auto wait =
            due.empty()
                ? std::chrono::milliseconds(1000)
                : std::chrono::ceil<std::chrono::milliseconds>(due.begin()->first - Clock::now());
        pollfd fds[2] = {{fd, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        if (poll(fds, 2, int(std::max<long>(0, long(wait.count())))) < 0)
            continue;
        if (fds[1].revents != 0) {
            char chunk[64];
            const ssize_t n = read(STDIN_FILENO, chunk, sizeof(chunk));
            if (n <= 0)
                break;
            input.append(chunk, std::size_t(n));
            for (std::size_t eol; (eol = input.find('\n')) != std::string::npos;) {
                delayMs = std::strtol(input.c_str(), nullptr, 10);
                input.erase(0, eol + 1);
            }
        }
        if (fds[0].revents & POLLIN) {
            char packet[65536];
            sockaddr_in from{};
            socklen_t fromLength = sizeof(from);
            const ssize_t n = recvfrom(fd, packet, sizeof(packet), 0,
                                       reinterpret_cast<sockaddr*>(&from), &fromLength);
            const std::size_t header = n > 0 ? std::size_t(packet[0] & 0x0F) * 4 : 0;
            // Echo requests (type 8) to the target only: not our own replies, not other hosts.
            if (n >= 20 && std::size_t(n) >= header + 8 &&
                std::memcmp(packet + 16, &target, 4) == 0 && packet[header] == 8) {
                std::string reply(packet + header, std::size_t(n) - header);
                // Type 8 becomes 0: the checksum grows by 0x0800, with the end-around carry.
                unsigned sum =
                    (unsigned(std::uint8_t(reply[2])) << 8 | std::uint8_t(reply[3])) + 0x0800;
                sum = (sum & 0xFFFF) + (sum >> 16);
                reply[0] = 0;
                reply[2] = char(sum >> 8);
                reply[3] = char(sum & 0xFF);
                due.emplace(Clock::now() + std::chrono::milliseconds(delayMs),
                            std::pair(from, reply));
            }
        }
        for (; !due.empty() && due.begin()->first <= Clock::now(); due.erase(due.begin())) {
            const auto& [to, reply] = due.begin()->second;
            sendto(fd, reply.data(), reply.size(), 0, reinterpret_cast<const sockaddr*>(&to),
                   sizeof(to));
        }
    }
    close(fd);
    return 0;
}
