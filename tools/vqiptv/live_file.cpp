#include "live_file.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unordered_set>

#include "library.h"
#include "playlist_copy.h"
#include "playlist_entries.h"

namespace vqt {
namespace {

int cannot_write(const std::string &path, int err_no, std::ostream &err) {
    err << "vqiptv: cannot write " << path << ": " << std::strerror(err_no) << "\n";
    if (err_no == ENOENT || err_no == ENOTDIR) return kExitNotFound;
    return err_no == EACCES || err_no == EPERM || err_no == EROFS ? kExitRefused : kExitFailure;
}

// The ids of the channels list found live; false when an id list checked is
// not among the playlist's entries (the playlist changed since it was listed).
bool live_ids(const Checklist &list, const PlaylistEntries &entries, std::unordered_set<uint64_t> &live) {
    std::unordered_set<uint64_t> present;
    for (size_t i = 0; i < entries.size(); ++i)
        if (entries.channel(i)) present.insert(entries.id(i));
    for (size_t s = 0; s < list.ids.size(); ++s) {
        if (!present.count(list.ids[s])) return false;
        if (list.verdicts[s].cause == Cause::live) live.insert(list.ids[s]);
    }
    return true;
}

bool put(FILE *f, std::string_view bytes) { return std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size(); }

// The head (or "#EXTM3U" when the playlist has none), then each live entry.
bool write_entries(FILE *f, const PlaylistEntries &entries, const std::unordered_set<uint64_t> &live) {
    bool ok = put(f, entries.head().empty() ? "#EXTM3U\n" : entries.head());
    if (!entries.head().empty() && !entries.head().ends_with('\n')) ok = ok && put(f, "\n");
    for (size_t i = 0; ok && i < entries.size(); ++i) {
        if (!entries.channel(i) || !live.count(entries.id(i))) continue;
        std::string_view lines = entries.lines(i);
        ok = put(f, lines) && (lines.ends_with('\n') || put(f, "\n"));
    }
    return ok;
}

// The permissions a new file gets: everyone's read and write, less the umask.
mode_t new_file_mode() {
    mode_t mask = ::umask(0);
    ::umask(mask);
    return 0666 & ~mask;
}

// Writes into a temporary file in path's folder, then renames it to path.
int replace_file(const std::string &path, const PlaylistEntries &entries, const std::unordered_set<uint64_t> &live,
                 std::ostream &err) {
    std::filesystem::path temp_path(path);
    temp_path.replace_filename(std::string(".").append(temp_path.filename().string()).append(".XXXXXX"));
    std::string temp = temp_path.string();
    int fd = ::mkstemp(temp.data());
    if (fd < 0) return cannot_write(path, errno, err);
    FILE *f = ::fdopen(fd, "wb");
    bool ok = f && write_entries(f, entries, live) && std::fflush(f) == 0 && ::fchmod(fd, new_file_mode()) == 0 &&
              ::fsync(fd) == 0;
    int err_no = errno;
    ok = (f ? std::fclose(f) == 0 : ::close(fd) == 0) && ok;
    if (ok && std::rename(temp.c_str(), path.c_str()) == 0) return kExitOk;
    err_no = ok ? errno : err_no;
    std::remove(temp.c_str());
    return cannot_write(path, err_no, err);
}

}  // namespace

int live_file_usable(const std::string &path, std::ostream &err) {
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (std::filesystem::is_directory(path, ec)) return cannot_write(path, EISDIR, err);
    if (!std::filesystem::is_directory(folder.empty() ? "." : folder, ec)) return cannot_write(path, ENOENT, err);
    return ::access(folder.empty() ? "." : folder.c_str(), W_OK) == 0 ? kExitOk : cannot_write(path, errno, err);
}

int write_live(const std::string &path, const Checklist &list, std::ostream &err) {
    std::string_view copy = playlist_copy();
    PlaylistEntries entries(copy);
    if (copy.empty() || !entries.error().empty()) {
        err << "vqiptv: " << path << " not written: the playlist could not be split into its entries"
            << (copy.empty() ? "" : " (" + entries.error() + ")") << "\n";
        return kExitContent;
    }
    std::unordered_set<uint64_t> live;
    if (!live_ids(list, entries, live)) {
        err << "vqiptv: " << path << " not written: the playlist changed while it was checked\n";
        return kExitFailure;
    }
    return replace_file(path, entries, live, err);
}

}  // namespace vqt
