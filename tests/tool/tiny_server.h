// A one-playlist HTTP server on the loopback interface, so the tool's network
// path (libcurl behind its metered transport) runs without the internet.
#pragma once
#include <atomic>
#include <string>
#include <thread>

class TinyServer {
public:
    // Serves body with status 200 for every GET until destroyed.
    explicit TinyServer(std::string body);
    ~TinyServer();
    TinyServer(const TinyServer &) = delete;
    TinyServer &operator=(const TinyServer &) = delete;

    // http://127.0.0.1:PORT/ followed by path.
    std::string url(const std::string &path) const;
    int requests() const { return requests_; }

private:
    std::string body_;
    int listener_ = -1;
    int port_ = 0;
    std::atomic<int> requests_{0};
    std::atomic<bool> stop_{false};
    std::thread thread_;

    void serve();
    void answer(int conn);
};
