// A real nginx for the network tests, on 127.0.0.1 only, with a
// configuration generated into a temporary folder: a copy of the playlist
// corpus as static files (ETag, Last-Modified, 304 on revalidation, gzip), "return"
// redirects, an auth_basic area with a generated htpasswd, and a TLS listener
// with a self-signed certificate made at start.
//
// The listening sockets are bound here on port 0 and handed to nginx (its
// inherited-sockets variable), so there is no race for a free port and no
// wait for readiness: connections queue on the socket until nginx accepts.
#pragma once
#include <string>
#include <string_view>
#include <sys/types.h>

// Another site than the corpus: a copy of the folder files served at "/",
// with further directives for the http block and for that location ("@DIR@"
// in them stands for the server's temporary folder), and the TLS listener's
// certificate and key files (empty: the self-signed pair made at start).
struct nginx_site {
    std::string files;
    std::string http;
    std::string location;
    std::string certificate = {};
    std::string key = {};
};

class nginx_server {
public:
    nginx_server();  // check ok() / error() afterwards
    explicit nginx_server(nginx_site site);
    ~nginx_server();
    nginx_server(const nginx_server &) = delete;
    nginx_server &operator=(const nginx_server &) = delete;

    bool ok() const { return error_.empty(); }
    const std::string &error() const { return error_; }
    std::string http(std::string_view path) const;
    std::string https(std::string_view path) const;
    const std::string &dir() const { return dir_; }  // the temporary folder

    static constexpr const char *user = "iptv";
    static constexpr const char *password = "s3cret pass";

private:
    void start_up();
    bool prepare();
    bool spawn(int http_fd, int https_fd);
    std::string conf(int http_port, int https_port) const;
    std::string corpus_locations() const;
    std::string site_locations() const;
    std::string with_dir(const std::string &text) const;

    nginx_site site_;  // files empty: the corpus
    std::string dir_;
    std::string error_;
    pid_t pid_ = -1;
    int http_port_ = 0;
    int https_port_ = 0;
};
