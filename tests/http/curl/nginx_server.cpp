#include "nginx_server.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <poll.h>
#include <sys/syscall.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <utility>
#include <sstream>
#include <vector>

extern char **environ;

namespace {

constexpr const char *k_nginx = "/usr/sbin/nginx";
constexpr const char *k_openssl = "/usr/bin/openssl";

// A listening socket on 127.0.0.1, port picked by the system, left open
// across exec so that nginx inherits it.
int listen_inheritable(int &port) {
    int fd = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || ::listen(fd, 128) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) != 0) {
        if (fd >= 0) ::close(fd);
        return -1;
    }
    port = ntohs(a.sin_port);
    return fd;
}

std::vector<char *> pointers(std::vector<std::string> &texts) {
    std::vector<char *> out;
    for (std::string &t : texts) out.push_back(t.data());
    out.push_back(nullptr);
    return out;
}

// Starts argv with stdout going to out_path (or /dev/null) and stderr to
// log_path; the child dies with the test process.
pid_t start(std::vector<std::string> argv, std::vector<std::string> env, const std::string &out_path,
            const std::string &log_path) {
    std::vector<char *> args = pointers(argv), vars = pointers(env);
    pid_t pid = ::fork();
    if (pid != 0) return pid;
    ::prctl(PR_SET_PDEATHSIG, SIGKILL);
    int out = ::open(out_path.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int log = ::open(log_path.c_str(), O_WRONLY | O_CREAT | O_APPEND, 0644);
    if (out >= 0) ::dup2(out, 1);
    if (log >= 0) ::dup2(log, 2);
    ::execve(args[0], args.data(), vars.data());
    ::_exit(127);
}

int wait_exit(pid_t pid) {
    int st = 0;
    if (pid < 0 || ::waitpid(pid, &st, 0) != pid) return -1;
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

// SIGTERM lets nginx stop its worker; one that does not go within the bound
// is killed.
void stop(pid_t pid) {
    int fd = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
    ::kill(pid, SIGTERM);
    pollfd p{fd, POLLIN, 0};
    if (fd < 0 || ::poll(&p, 1, 10000) != 1) ::kill(pid, SIGKILL);
    if (fd >= 0) ::close(fd);
    wait_exit(pid);
}

std::vector<std::string> environment() {
    std::vector<std::string> env;
    for (char **e = environ; *e; ++e) env.emplace_back(*e);
    return env;
}

// A copy of the tree at from, every folder and file readable by everyone.
bool copy_readable(const std::string &from, const std::string &to) {
    namespace fs = std::filesystem;
    std::error_code ec;
    fs::copy(from, to, fs::copy_options::recursive, ec);
    for (auto it = fs::recursive_directory_iterator(to, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
        fs::permissions(it->path(), it->is_directory() ? fs::perms(0755) : fs::perms(0644), ec);
    if (!ec) fs::permissions(to, fs::perms(0755), ec);
    return !ec;
}

std::string slurp(const std::string &path) {
    std::ifstream in(path);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

}  // namespace

nginx_server::nginx_server() { start_up(); }

nginx_server::nginx_server(nginx_site site) : site_(std::move(site)) { start_up(); }

void nginx_server::start_up() {
    if (!prepare()) return;
    int http_fd = listen_inheritable(http_port_);
    int https_fd = listen_inheritable(https_port_);
    if (http_fd < 0 || https_fd < 0)
        error_ = "cannot listen on 127.0.0.1";
    else
        spawn(http_fd, https_fd);
    if (http_fd >= 0) ::close(http_fd);
    if (https_fd >= 0) ::close(https_fd);
}

nginx_server::~nginx_server() {
    if (pid_ > 0) stop(pid_);
    std::error_code ec;
    if (!dir_.empty()) std::filesystem::remove_all(dir_, ec);
}

std::string nginx_server::http(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(http_port_) + std::string(path);
}

std::string nginx_server::https(std::string_view path) const {
    return "https://127.0.0.1:" + std::to_string(https_port_) + std::string(path);
}

// The temporary folder with certificate, key, htpasswd and a copy of the
// files served. nginx's worker drops to an unprivileged user when the tests run as
// root, so everything it reads at request time is world-readable here, wherever
// the checkout lives.
bool nginx_server::prepare() {
    char tmpl[] = "/tmp/qvx-nginx-XXXXXX";
    if (!::mkdtemp(tmpl)) return error_ = "mkdtemp failed", false;
    dir_ = tmpl;
    ::chmod(tmpl, 0755);
    std::string files = site_.files.empty() ? std::string(QVX_CORPUS_DIR) : site_.files;
    if (!copy_readable(files, dir_ + "/www")) return error_ = "cannot copy " + files, false;
    std::string log = dir_ + "/tools.log";
    int rc = wait_exit(start({k_openssl, "req", "-x509", "-newkey", "ec", "-pkeyopt", "ec_paramgen_curve:prime256v1",
                              "-nodes", "-keyout", dir_ + "/key.pem", "-out", dir_ + "/cert.pem", "-days", "2",
                              "-subj", "/CN=127.0.0.1"},
                             environment(), "/dev/null", log));
    if (rc != 0) return error_ = "openssl req failed: " + slurp(log), false;
    rc = wait_exit(start({k_openssl, "passwd", "-apr1", password}, environment(), dir_ + "/hash", log));
    std::string hash = slurp(dir_ + "/hash");
    if (rc != 0 || hash.empty()) return error_ = "openssl passwd failed: " + slurp(log), false;
    std::ofstream(dir_ + "/htpasswd") << user << ":" << hash;
    ::chmod((dir_ + "/htpasswd").c_str(), 0644);
    return true;
}

bool nginx_server::spawn(int http_fd, int https_fd) {
    std::string conf_path = dir_ + "/nginx.conf", log = dir_ + "/error.log";
    std::ofstream(conf_path) << conf(http_port_, https_port_);
    std::vector<std::string> base = {k_nginx, "-p", dir_, "-c", conf_path, "-e", log};
    std::vector<std::string> test = base;
    test.push_back("-t");
    if (wait_exit(start(test, environment(), "/dev/null", log)) != 0)
        return error_ = "nginx -t failed: " + slurp(log), false;
    std::vector<std::string> run = base;
    run.insert(run.end(), {"-g", "daemon off;"});
    std::vector<std::string> env = environment();
    env.push_back("NGINX=" + std::to_string(http_fd) + ";" + std::to_string(https_fd) + ";");
    pid_ = start(run, env, "/dev/null", log);
    if (pid_ < 0) return error_ = "fork failed", false;
    return true;
}

std::string nginx_server::conf(int http_port, int https_port) const {
    std::ostringstream c;
    c << "worker_processes 1;\n"
      << "pid " << dir_ << "/nginx.pid;\n"
      << "events { worker_connections 256; }\n"
      << "http {\n"
      << "  access_log off;\n"
      << with_dir(site_.http) << "\n";
    for (const char *temp : {"client_body", "proxy", "fastcgi", "uwsgi", "scgi"})
        c << "  " << temp << "_temp_path " << dir_ << "/" << temp << ";\n";
    c << "  types { audio/x-mpegurl m3u; }\n"
      << "  default_type application/octet-stream;\n"
      << "  gzip on; gzip_min_length 1; gzip_types audio/x-mpegurl;\n"
      << "  server {\n"
      << "    listen 127.0.0.1:" << http_port << ";\n"
      << "    listen 127.0.0.1:" << https_port << " ssl;\n"
      << "    ssl_certificate " << (site_.certificate.empty() ? dir_ + "/cert.pem" : site_.certificate) << ";\n"
      << "    ssl_certificate_key " << (site_.key.empty() ? dir_ + "/key.pem" : site_.key) << ";\n"
      << "    root " << dir_ << "/www;\n"
      << (site_.files.empty() ? corpus_locations() : site_locations())
      << "  }\n"
      << "}\n";
    return c.str();
}

std::string nginx_server::corpus_locations() const {
    std::ostringstream c;
    c << "    location = /r/one { return 301 /r/two; }\n"
      << "    location = /r/two { return 302 /pages-2023-01/index.country.m3u; }\n"
      << "    location = /r/loop { return 302 /r/loop; }\n"
      << "    location /private/ {\n"
      << "      alias " << dir_ << "/www/;\n"
      << "      auth_basic \"iptv\"; auth_basic_user_file " << dir_ << "/htpasswd;\n"
      << "    }\n";
    return c.str();
}

std::string nginx_server::site_locations() const {
    return "    location / {\n" + with_dir(site_.location) + "\n    }\n";
}

std::string nginx_server::with_dir(const std::string &text) const {
    std::string out = text;
    for (size_t at = 0; (at = out.find("@DIR@", at)) != std::string::npos; at += dir_.size())
        out.replace(at, 5, dir_);
    return out;
}
