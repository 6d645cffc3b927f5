#pragma once
// A TCP relay between the program and the database server, for the
// benchmarks: it stands for a school's network by holding every request of
// the client for a fixed delay before passing it on, and it counts the round
// trips (each time the client speaks again after the server answered), which
// is what a slow network multiplies.
//
//   bench::LatencyProxy proxy(QStringLiteral("127.0.0.1"), 5432, 1000);   // +1 ms a round trip
//   cfg.port = proxy.port();
//   ... proxy.roundTrips() ...
#include <QString>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <mutex>
#include <stdexcept>
#include <thread>
#include <vector>

namespace bench {

class LatencyProxy
{
public:
    LatencyProxy(const QString &upstreamHost, int upstreamPort, int delayMicroseconds)
        : m_delay(delayMicroseconds)
    {
        m_upstream.sin_family = AF_INET;
        m_upstream.sin_port = htons(quint16(upstreamPort));
        if (inet_pton(AF_INET, upstreamHost.toLatin1().constData(), &m_upstream.sin_addr) != 1)
            throw std::runtime_error("proxy: indirizzo del server non valido");
        m_listen = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (m_listen < 0 || ::bind(m_listen, reinterpret_cast<sockaddr *>(&a), len) != 0
            || ::listen(m_listen, 16) != 0 || ::getsockname(m_listen, reinterpret_cast<sockaddr *>(&a), &len) != 0)
            throw std::runtime_error("proxy: impossibile aprire la porta locale");
        m_port = ntohs(a.sin_port);
        m_acceptor = std::thread([this] { acceptLoop(); });
    }

    ~LatencyProxy()
    {
        m_stop = true;
        ::shutdown(m_listen, SHUT_RDWR);
        ::close(m_listen);
        m_acceptor.join();
        for (int fd : m_sockets)
            ::shutdown(fd, SHUT_RDWR);
        for (std::thread &t : m_threads)
            t.join();
        for (int fd : m_sockets)
            ::close(fd);
    }

    LatencyProxy(const LatencyProxy &) = delete;
    LatencyProxy &operator=(const LatencyProxy &) = delete;

    int port() const { return m_port; }
    qint64 roundTrips() const { return m_roundTrips.load(); }

private:
    struct Link
    {
        int client = -1, server = -1;
        std::atomic<bool> answered{true};   // the server spoke last: the client's next write is a new trip
    };

    void acceptLoop()
    {
        for (;;) {
            const int client = ::accept(m_listen, nullptr, nullptr);
            if (client < 0)
                return;
            const int server = ::socket(AF_INET, SOCK_STREAM, 0);
            if (::connect(server, reinterpret_cast<const sockaddr *>(&m_upstream), sizeof m_upstream) != 0) {
                ::close(client);
                ::close(server);
                continue;
            }
            const int one = 1;
            ::setsockopt(client, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            ::setsockopt(server, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
            auto link = std::make_shared<Link>();
            link->client = client;
            link->server = server;
            std::lock_guard<std::mutex> g(m_mutex);
            if (m_stop) {
                ::close(client);
                ::close(server);
                return;
            }
            m_sockets.push_back(client);
            m_sockets.push_back(server);
            m_threads.emplace_back([this, link] { pump(*link, true); });
            m_threads.emplace_back([this, link] { pump(*link, false); });
        }
    }

    // Copies one direction until either side closes.
    void pump(Link &link, bool towardsServer)
    {
        const int from = towardsServer ? link.client : link.server;
        const int to = towardsServer ? link.server : link.client;
        std::vector<char> buffer(64 * 1024);
        for (;;) {
            const ssize_t n = ::read(from, buffer.data(), buffer.size());
            if (n <= 0)
                break;
            if (towardsServer) {
                if (link.answered.exchange(false)) {
                    ++m_roundTrips;
                    if (m_delay > 0)
                        std::this_thread::sleep_for(std::chrono::microseconds(m_delay));
                }
            } else {
                link.answered = true;
            }
            for (ssize_t done = 0; done < n;) {
                const ssize_t w = ::write(to, buffer.data() + done, size_t(n - done));
                if (w <= 0)
                    return;
                done += w;
            }
        }
        ::shutdown(to, SHUT_WR);
    }

    sockaddr_in m_upstream{};
    int m_delay;
    int m_listen = -1;
    int m_port = 0;
    std::atomic<bool> m_stop{false};
    std::atomic<qint64> m_roundTrips{0};
    std::mutex m_mutex;
    std::vector<int> m_sockets;
    std::thread m_acceptor;
    std::vector<std::thread> m_threads;
};

} // namespace bench
