/*
 * A minimal media-player host: loads the IPTV source library at run time,
 * reads its handler table, gives it an I/O record of its own (here one that
 * serves a playlist from memory instead of the network), lists the playlist
 * and resolves a channel to the URL and headers a player would use.
 *
 *   host LIBRARY.so [PLAYLIST.m3u]
 *
 * Without a playlist file a small built-in one is served.
 */
#include <dlfcn.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include "quorvex_iptv.h"

/* Where the host pretends the playlist lives; any other URL answers 404. */
#define PLAYLIST_URL "http://playlists.example/sample.m3u"
#define SETTINGS "{\"URL\":\"" PLAYLIST_URL "\"}"

static const char builtin_playlist[] =
    "#EXTM3U\n"
    "#EXTINF:-1 tvg-id=\"Demo.one\" group-title=\"Demo\",Demo One\n"
    "#EXTVLCOPT:http-user-agent=DemoPlayer/1.0\n"
    "https://streams.example/one.m3u8\n";

typedef struct {
    const source_handler *(*get_handler)(void);
    int32_t (*set_io)(const quorvex_io *io);
    int32_t (*stream_url)(const char *settings, const char *entry, char *out, int32_t out_len);
    const char *(*last_error)(void);
    const char *(*version)(void);
} library;

/* ---- the host's transport: one canned playlist, served from memory ---- */

typedef struct {
    const char *body;
    size_t len;
    int requests;
} memory_server;

static memory_server server;

static char *heap_text(const char *s) {
    char *copy = malloc(strlen(s) + 1);
    if (copy) strcpy(copy, s);
    return copy;
}

static int serve(void *ctx, const quorvex_http_req *req, int *status, char **err) {
    memory_server *srv = ctx;
    int found;
    *status = 0;
    *err = NULL;
    if (!req || req->size < sizeof(quorvex_http_req) || !req->url) {
        *err = heap_text("host: bad request record");
        return -1;
    }
    srv->requests++;
    found = strcmp(req->url, PLAYLIST_URL) == 0;
    *status = found ? 200 : 404;
    if (req->on_header && req->on_header(req->user, ":status", found ? "200" : "404") != 0) return 0;
    if (found && req->on_body) req->on_body(req->user, srv->body, srv->len);
    return 0;
}

static void release(void *ctx, void *buf) {
    (void)ctx;
    free(buf);
}

static const quorvex_http memory_http = {sizeof(quorvex_http), 1, &server, serve, release};
static const quorvex_http_ctx memory_ctx = {QVX_HTTP_CTX_MAGIC, sizeof(quorvex_http_ctx), &memory_http, NULL};

/* The whole-body operation of the I/O record, over the same transport. */
typedef struct {
    char *data;
    size_t len;
} body_buf;

static int collect(void *user, const void *data, size_t len) {
    body_buf *b = user;
    char *grown = realloc(b->data, b->len + len + 1);
    if (!grown) return 1;
    memcpy(grown + b->len, data, len);
    b->data = grown;
    b->len += len;
    b->data[b->len] = '\0';
    return 0;
}

static int io_get(void *ctx, const char *url, char **body, int *status, char **err) {
    const quorvex_http *http = ((const quorvex_http_ctx *)ctx)->http;
    body_buf b = {NULL, 0};
    quorvex_http_req req;
    memset(&req, 0, sizeof req);
    req.size = sizeof req;
    req.method = "GET";
    req.url = url;
    req.on_body = collect;
    req.user = &b;
    *body = NULL;
    if (http->request(http->ctx, &req, status, err) != 0) {
        free(b.data);
        return -1;
    }
    *body = b.data ? b.data : heap_text("");
    return *body ? 0 : -1;
}

static const quorvex_io memory_io = {(void *)&memory_ctx, io_get, NULL, release};

/* ---- driving the library ---- */

/* One call: the listing of path through the handler table, or, without a
 * path, the resolution of entry through the exported function (which uses the
 * installed I/O record). */
typedef struct {
    const library *lib;
    const char *path;
    const char *entry;
} request;

static int32_t perform(const request *rq, char *out, int32_t out_len) {
    if (rq->path) return rq->lib->get_handler()->list(&memory_io, SETTINGS, rq->path, out, out_len);
    return rq->lib->stream_url(SETTINGS, rq->entry, out, out_len);
}

/* Runs rq into a heap buffer, once more with the size the library asks for
 * when the first one was too small. */
static char *call_sized(const request *rq, int32_t *status) {
    int32_t size = 256;
    char *out = malloc((size_t)size);
    const char *need;
    if (!out) return NULL;
    *status = perform(rq, out, size);
    need = strstr(rq->lib->last_error(), "need ");
    if (*status == QVX_E_BUFFER_TOO_SMALL && need && (size = (int32_t)strtol(need + 5, NULL, 10)) > 0) {
        free(out);
        out = malloc((size_t)size);
        if (!out) return NULL;
        *status = perform(rq, out, size);
    }
    return out;
}

/* The first string value of key in a compact JSON text, copied into out. */
static int first_string(const char *json, const char *key, char *out, size_t cap) {
    char pattern[64];
    const char *start, *end;
    snprintf(pattern, sizeof pattern, "\"%s\":\"", key);
    start = strstr(json, pattern);
    if (!start) return 0;
    start += strlen(pattern);
    for (end = start; *end && *end != '"'; ++end) {
        if (*end == '\\' && end[1]) ++end;
    }
    if ((size_t)(end - start) >= cap) return 0;
    memcpy(out, start, (size_t)(end - start));
    out[end - start] = '\0';
    return 1;
}

/* A symbol's address as a function pointer (POSIX guarantees the conversion). */
static void bind_symbol(void *handle, const char *name, void *fn, int *missing) {
    void *sym = dlsym(handle, name);
    memcpy(fn, &sym, sizeof sym);
    *missing += sym == NULL;
}

static int load(const char *path, library *lib, void **handle) {
    int missing = 0;
    *handle = dlopen(path, RTLD_NOW | RTLD_LOCAL);
    if (!*handle) {
        fprintf(stderr, "host: %s\n", dlerror());
        return 0;
    }
    bind_symbol(*handle, "vqrch_get", &lib->get_handler, &missing);
    bind_symbol(*handle, "vqiptv_set_io", &lib->set_io, &missing);
    bind_symbol(*handle, "vqiptv_stream_url", &lib->stream_url, &missing);
    bind_symbol(*handle, "vqiptv_last_error", &lib->last_error, &missing);
    bind_symbol(*handle, "vqiptv_version", &lib->version, &missing);
    if (missing == 0) return 1;
    fprintf(stderr, "host: %s lacks the source client's exports\n", path);
    dlclose(*handle);
    return 0;
}

static char *read_playlist(const char *path, size_t *len) {
    FILE *f = fopen(path, "rb");
    char *data = NULL;
    long size;
    if (!f) return NULL;
    if (fseek(f, 0, SEEK_END) == 0 && (size = ftell(f)) >= 0 && fseek(f, 0, SEEK_SET) == 0 &&
        (data = malloc((size_t)size + 1)) != NULL && fread(data, 1, (size_t)size, f) == (size_t)size) {
        *len = (size_t)size;
    } else {
        free(data);
        data = NULL;
    }
    fclose(f);
    return data;
}

/* Lists the root, then the first group, then resolves its first channel. */
static int browse(const library *lib) {
    char path[512], id[64], entry[128];
    request rq = {lib, "/", NULL};
    int32_t status;
    char *doc = call_sized(&rq, &status);
    int ok = doc && status == 0;
    printf("list \"/\" -> %d\n%s\n", status, ok ? doc : lib->last_error());
    /* A grouped playlist lists folders at its root; a flat one its channels. */
    if (ok && strstr(doc, "\"folder\":true") && first_string(doc, "path", path, sizeof path)) {
        free(doc);
        rq.path = path;
        doc = call_sized(&rq, &status);
        ok = doc && status == 0;
        printf("list \"%s\" -> %d\n%s\n", path, status, ok ? doc : lib->last_error());
    }
    ok = ok && first_string(doc, "id", id, sizeof id);
    free(doc);
    if (!ok) return 0;
    snprintf(entry, sizeof entry, "{\"id\":\"%s\"}", id);
    rq.path = NULL;
    rq.entry = entry;
    doc = call_sized(&rq, &status);
    ok = doc && status == 0;
    printf("stream_url %s -> %d\n%s\n", entry, status, ok ? doc : lib->last_error());
    free(doc);
    return ok;
}

int main(int argc, char **argv) {
    library lib;
    void *handle;
    char *file = NULL;
    int ok;
    if (argc < 2) {
        fprintf(stderr, "usage: host LIBRARY [PLAYLIST]\n");
        return 2;
    }
    if (!load(argv[1], &lib, &handle)) return 1;
    server.body = builtin_playlist;
    server.len = sizeof builtin_playlist - 1;
    if (argc > 2) {
        file = read_playlist(argv[2], &server.len);
        if (!file) {
            fprintf(stderr, "host: cannot read %s\n", argv[2]);
            dlclose(handle);
            return 1;
        }
        server.body = file;
    }
    printf("library %s, runtime type %s, caps 0x%x\n", lib.version(), lib.get_handler()->runtime_type,
           (unsigned)lib.get_handler()->caps);
    /* The table's operations take the record per call; the exports use the installed one. */
    lib.set_io(&memory_io);
    ok = browse(&lib);
    printf("requests served from memory: %d\n", server.requests);
    lib.set_io(NULL);
    free(file);
    /* The library keeps its cache and last result in static state and frees
     * nothing when unloaded: a host keeps it loaded for the process's life. */
    return ok ? 0 : 1;
}
