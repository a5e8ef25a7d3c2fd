#include "bench/cli/bareexchange.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>

#include <cstring>

namespace {

const std::string Mark(4, '\xFF');

class Socket {
public:
    Socket()
        : m_fd(socket(AF_INET, SOCK_DGRAM, 0)) {}
    ~Socket() {
        if (m_fd >= 0)
            close(m_fd);
    }
    Socket(const Socket &) = delete;
    Socket &operator=(const Socket &) = delete;

    bool connectTo(unsigned short port) {
        timeval timeout{5, 0};
        setsockopt(m_fd, SOL_SOCKET, SO_RCVTIMEO, &timeout, sizeof timeout);
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return m_fd >= 0 &&
               connect(m_fd, reinterpret_cast<sockaddr *>(&address), sizeof address) == 0;
    }
    bool send(const std::string &datagram) {
        return ::send(m_fd, datagram.data(), datagram.size(), 0) == ssize_t(datagram.size());
    }
    bool receive(std::string &datagram) {
        char buffer[65536];
        const ssize_t got = recv(m_fd, buffer, sizeof buffer, 0);
        if (got < 0)
            return false;
        datagram.assign(buffer, size_t(got));
        return true;
    }

private:
    int m_fd;
};

} // namespace

std::string bareStatusExchange(unsigned short port, const std::string &password) {
    Socket socket;
    std::string reply;
    if (!socket.connectTo(port) || !socket.send(Mark + "challenge rcon") ||
        !socket.receive(reply) || reply.rfind(Mark + "challenge rcon ", 0) != 0)
        return {};
    // "challenge rcon <number>\n\0": the number alone.
    const std::string challenge =
        reply.substr(Mark.size() + 15, reply.find('\n') - (Mark.size() + 15));
    if (!socket.send(Mark + "rcon " + challenge + ' ' + password + " status"))
        return {};
    std::string text;
    while (text.find(" users\n") == std::string::npos) {
        if (!socket.receive(reply) || reply.size() < 5)
            return {};
        // MARK, the type letter, the text, NULs.
        std::string part = reply.substr(5);
        part.erase(part.find_last_not_of('\0') + 1);
        text += part;
    }
    return text;
}
