#pragma once

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

// A TCP socket listening on a free loopback port, which it writes to `port`.
inline int listenOnLoopback(int& port) {
    int socket = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ::bind(socket, reinterpret_cast<sockaddr*>(&address), sizeof address);
    ::listen(socket, 16);
    ::getsockname(socket, reinterpret_cast<sockaddr*>(&address), &length);
    port = ntohs(address.sin_port);
    return socket;
}
