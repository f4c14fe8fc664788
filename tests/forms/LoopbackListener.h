#pragma once

#include <QStringList>

#include <atomic>
#include <chrono>
#include <mutex>
#include <thread>

namespace formstest {

// A small HTTP server on 127.0.0.1, on a free port, that counts every connection made to it and
// keeps the first line of what each sent. It answers with an empty "200 OK" and stops by itself
// after `lifetime` or `maxConnections`, whichever comes first (or when destroyed).
class LoopbackListener {
public:
    explicit LoopbackListener(std::chrono::seconds lifetime, int maxConnections = 5000);
    ~LoopbackListener();
    LoopbackListener(const LoopbackListener&) = delete;
    LoopbackListener& operator=(const LoopbackListener&) = delete;

    int Port() const { return port_; }
    int Connections() const { return connections_; }
    QStringList Requests() const;

private:
    void Serve(std::chrono::steady_clock::time_point end, int maxConnections);

    int socket_ = -1;
    int port_ = 0;
    std::atomic<int> connections_{0};
    std::atomic<bool> stop_{false};
    mutable std::mutex mutex_;
    QStringList requests_;
    std::thread thread_;
};

} // namespace formstest
