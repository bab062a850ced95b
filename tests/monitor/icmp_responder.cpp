// SPDX-License-Identifier: GPL-3.0-or-later
// velmora_icmp_responder ADDRESS: answers ICMP echo requests to ADDRESS from a raw socket, each
// after the delay in milliseconds last read from standard input (one number a line; 0 at
// first). Ends when its input closes, and after two minutes at most. The namespace tests run it
// where the kernel ignores echo requests itself (net.ipv4.icmp_echo_ignore_all=1), to make a
// host answer slowly or too late at will.

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

namespace {

using Clock = std::chrono::steady_clock;

struct Reply {
    sockaddr_in to;
    std::string message;
};

// The Internet checksum (RFC 1071) of `message` with its checksum field zero.
std::uint16_t checksum(std::string& message)
{
    message[2] = message[3] = 0;
    std::uint32_t sum = 0;
    for (std::size_t i = 0; i + 1 < message.size(); i += 2)
        sum += std::uint32_t(std::uint8_t(message[i])) << 8 | std::uint8_t(message[i + 1]);
    if (message.size() % 2 != 0)
        sum += std::uint32_t(std::uint8_t(message.back())) << 8;
    while (sum > 0xFFFF)
        sum = (sum >> 16) + (sum & 0xFFFF);
    return std::uint16_t(~sum);
}

} // namespace

int main(int argc, char** argv)
{
    in_addr target{};
    if (argc != 2 || inet_pton(AF_INET, argv[1], &target) != 1) {
        std::fprintf(stderr, "usage: velmora_icmp_responder IPV4-ADDRESS\n");
        return 64;
    }
    const int fd = socket(AF_INET, SOCK_RAW, IPPROTO_ICMP);
    if (fd < 0) {
        std::perror("velmora_icmp_responder: raw socket");
        return 1;
    }
    std::multimap<Clock::time_point, Reply> due;
    long delayMs = 0;
    std::string input;
    const Clock::time_point end = Clock::now() + std::chrono::minutes(2);
    while (Clock::now() < end) {
        int waitMs = 1000;
        if (!due.empty()) {
            const auto left = due.begin()->first - Clock::now();
            waitMs =
                int(std::max<long>(0, std::chrono::ceil<std::chrono::milliseconds>(left).count()));
        }
        pollfd fds[2] = {{fd, POLLIN, 0}, {STDIN_FILENO, POLLIN, 0}};
        if (poll(fds, 2, waitMs) < 0)
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
            const std::size_t headerLength = n > 0 ? std::size_t(packet[0] & 0x0F) * 4 : 0;
            // Echo requests (type 8) to the target only: not our own replies, not other hosts.
            if (n >= 20 && std::size_t(n) >= headerLength + 8 &&
                std::memcmp(packet + 16, &target, 4) == 0 && packet[headerLength] == 8) {
                Reply reply{from,
                            std::string(packet + headerLength, std::size_t(n) - headerLength)};
                reply.message[0] = 0; // echo reply
                const std::uint16_t sum = checksum(reply.message);
                reply.message[2] = char(sum >> 8);
                reply.message[3] = char(sum & 0xFF);
                due.emplace(Clock::now() + std::chrono::milliseconds(delayMs), reply);
            }
        }
        while (!due.empty() && due.begin()->first <= Clock::now()) {
            const Reply& reply = due.begin()->second;
            sendto(fd, reply.message.data(), reply.message.size(), 0,
                   reinterpret_cast<const sockaddr*>(&reply.to), sizeof(reply.to));
            due.erase(due.begin());
        }
    }
    close(fd);
    return 0;
}
