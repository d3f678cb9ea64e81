#include "link/NetSocket.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;

constexpr std::string_view kPrefixes[] = {"rfc2217://", "tcp://"};
// How often a connect in progress looks whether it is to be given up.
constexpr int kGiveUpCheckMs = 50;

bool AllOf(std::string_view text, bool (*allowed)(char)) {
    return !text.empty() && std::all_of(text.begin(), text.end(), allowed);
}
bool HostChar(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == '-' || c == '.' || c == '_'; }
// Hex groups, an IPv4 tail, and a zone after % ("fe80::1%eth0").
bool Ipv6Char(char c) { return std::isalnum(static_cast<unsigned char>(c)) || c == ':' || c == '.' || c == '%'; }
bool Digit(char c) { return c >= '0' && c <= '9'; }

int MillisecondsLeft(Clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
    return left > 0 ? static_cast<int>(std::min<long long>(left, 1 << 30)) : 0;
}

std::string ErrnoText(int error) { return std::strerror(error); }

std::string ConnectFailureText(int error) {
    switch (error) {
    case ECONNREFUSED: return "соединение отвергнуто (на этом порту никто не слушает)";
    case EHOSTUNREACH:
    case ENETUNREACH: return "узел недоступен";
    default: return "нет соединения: " + ErrnoText(error);
    }
}

}  // namespace

std::optional<NetLineKind> NetPortKind(const std::string& portName) {
    if (portName.rfind(kPrefixes[0], 0) == 0) return NetLineKind::Rfc2217;
    if (portName.rfind(kPrefixes[1], 0) == 0) return NetLineKind::RawTcp;
    return std::nullopt;
}

std::optional<NetEndpoint> ParseNetPortName(const std::string& portName) {
    const auto kind = NetPortKind(portName);
    if (!kind) return std::nullopt;
    NetEndpoint ep;
    ep.kind = *kind;
    std::string_view rest = portName;
    rest.remove_prefix(kPrefixes[*kind == NetLineKind::Rfc2217 ? 0 : 1].size());
    ep.text = std::string(rest);
    std::string_view host, port;
    if (!rest.empty() && rest[0] == '[') {
        const size_t close = rest.find(']');
        if (close == std::string_view::npos || close + 1 >= rest.size() || rest[close + 1] != ':') return std::nullopt;
        host = rest.substr(1, close - 1);
        port = rest.substr(close + 2);
        if (!AllOf(host, Ipv6Char)) return std::nullopt;
    } else {
        const size_t colon = rest.find(':');
        if (colon == std::string_view::npos) return std::nullopt;
        host = rest.substr(0, colon);
        port = rest.substr(colon + 1);
        if (!AllOf(host, HostChar)) return std::nullopt;
    }
    if (!AllOf(port, Digit) || port.size() > 5) return std::nullopt;
    const int number = std::stoi(std::string(port));
    if (number < 1 || number > 65535) return std::nullopt;
    ep.host = std::string(host);
    ep.port = std::to_string(number);
    return ep;
}

bool NetSocket::Connect(const NetEndpoint& endpoint, int timeoutMs, const std::function<bool()>& giveUp) {
    Close();
    endpoint_ = endpoint.text;
    failure_.clear();
    lost_.clear();
    const auto start = Clock::now();
    const auto deadline = start + std::chrono::milliseconds(timeoutMs);
    auto fail = [this](const std::string& why) {
        failure_ = endpoint_ + ": " + why;
        Close();
        return false;
    };

    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    // The resolver has time-outs of its own; a name it cannot find comes back at once here.
    if (const int rc = getaddrinfo(endpoint.host.c_str(), endpoint.port.c_str(), &hints, &found); rc != 0) {
        const std::string detail = rc == EAI_AGAIN ? " (сервер имён не отвечает)" : "";
        return fail("имя " + endpoint.host + " не найдено" + detail);
    }
    int lastError = ECONNREFUSED;
    bool timedOut = false;
    for (const addrinfo* a = found; a && fd_ < 0 && !timedOut; a = a->ai_next) {
        const int fd = ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            lastError = errno;
            continue;
        }
        int error = ::connect(fd, a->ai_addr, a->ai_addrlen) == 0 ? 0 : errno;
        while (error == EINPROGRESS || error == EINTR) {
            if (giveUp && giveUp()) {
                ::close(fd);
                freeaddrinfo(found);
                return fail("подключение прервано");
            }
            const int wait = std::min(kGiveUpCheckMs, MillisecondsLeft(deadline));
            if (wait == 0) {
                timedOut = true;
                break;
            }
            pollfd p{fd, POLLOUT, 0};
            if (poll(&p, 1, wait) <= 0) continue;
            socklen_t length = sizeof error;
            if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &length) != 0) error = errno;
        }
        if (error == 0 && !timedOut) {
            fd_ = fd;
        } else {
            lastError = error;
            ::close(fd);
        }
    }
    freeaddrinfo(found);
    if (fd_ < 0) {
        if (timedOut) return fail("нет соединения за " + std::to_string((timeoutMs + 999) / 1000) + " с");
        return fail(ConnectFailureText(lastError));
    }
    connectTime_ = std::chrono::duration_cast<std::chrono::microseconds>(Clock::now() - start);
    // Requests are a few bytes each and wait for their answer: nothing to gain by holding them back.
    const int on = 1;
    setsockopt(fd_, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
    return true;
}

void NetSocket::Close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

void NetSocket::MarkLost(const std::string& why) {
    if (lost_.empty()) lost_ = "связь с " + endpoint_ + " потеряна: " + why;
}

int NetSocket::Receive(uint8_t* buffer, int capacity, Clock::time_point deadline) {
    if (fd_ < 0 || !lost_.empty()) return -1;
    for (;;) {
        const ssize_t n = ::recv(fd_, buffer, static_cast<size_t>(capacity), 0);
        if (n > 0) {
            // Acknowledge at once: a converter that sends an answer in several small pieces and
            // holds each back until the last is acknowledged (Nagle) would otherwise wait for
            // this end's delayed acknowledgement, up to 40 ms, in the middle of an answer.
            const int on = 1;
            setsockopt(fd_, IPPROTO_TCP, TCP_QUICKACK, &on, sizeof on);
            return static_cast<int>(n);
        }
        if (n == 0) {
            MarkLost("преобразователь закрыл соединение");
            return -1;
        }
        if (errno != EAGAIN && errno != EINTR) {
            MarkLost(ErrnoText(errno));
            return -1;
        }
        const int wait = MillisecondsLeft(deadline);
        if (wait == 0) return 0;
        pollfd p{fd_, POLLIN, 0};
        if (poll(&p, 1, wait) == 0) return 0;
    }
}

int NetSocket::Send(const uint8_t* data, int length, Clock::time_point deadline) {
    if (fd_ < 0 || !lost_.empty()) return 0;
    int sent = 0;
    while (sent < length) {
        // MSG_NOSIGNAL: a closed connection is an error value here, not a signal that ends the program.
        const ssize_t n = ::send(fd_, data + sent, static_cast<size_t>(length - sent), MSG_NOSIGNAL);
        if (n > 0) {
            sent += static_cast<int>(n);
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR) {
            MarkLost(ErrnoText(errno));
            break;
        }
        const int wait = MillisecondsLeft(deadline);
        pollfd p{fd_, POLLOUT, 0};
        if (wait == 0 || poll(&p, 1, wait) == 0) break;
    }
    return sent;
}
