/*
 * quorvex-vequora-iptv-m3u-source-client: the C interface a media player uses
 * to browse IPTV playlists.
 *
 * Conventions
 *  - Every text is NUL-terminated UTF-8.
 *  - Operations answer 0 or a negative QVX_* status and write their whole
 *    answer as one JSON text into the caller's buffer (copied only when it fits
 *    with its NUL). The same text stays readable through vqiptv_result_json(),
 *    the last error through vqiptv_last_error(), until the next operation.
 *  - Any thread may call any export. Operations run one at a time inside the
 *    library. The texts of vqiptv_result_json(), vqiptv_last_error() and
 *    vqiptv_stats_json() belong to the calling thread: they tell that thread's
 *    own last operation (or statistics call), and another thread's calls
 *    neither change nor free them. A thread that has run no operation reads
 *    "" from the first two. Each text stays valid until the same thread's next
 *    operation (next statistics call) or its end, when the library releases it
 *    without the host's help; a result document, up to 64 MiB, is held as long.
 *  - Never call an export from inside a transport or sink callback.
 *  - Records a host builds (quorvex_io, quorvex_http, ...) carry their own size,
 *    version or magic and are checked before use. Buffers handed out by a record
 *    are released through the same record's free_buf.
 *  - The records are laid out for 64-bit processes only; the header refuses to
 *    compile for any other.
 */
#ifndef QUORVEX_IPTV_H
#define QUORVEX_IPTV_H

#include <stddef.h>
#include <stdint.h>

#include "quorvex_iptv_version.h" /* QVX_VERSION_MAJOR, _MINOR, _PATCH, _STRING */

#if defined(_WIN32)
#  if defined(QVX_BUILDING_LIBRARY)
#    define QVX_API __declspec(dllexport)
#  else
#    define QVX_API
#  endif
#else
#  define QVX_API __attribute__((visibility("default")))
#endif

#ifdef __cplusplus
extern "C" {
#endif

/* Status values of the source client. -7 is not used. */
#define QVX_OK 0
#define QVX_E_ACCESS (-1)          /* the playlist server refused access (401/403) */
#define QVX_E_NOT_FOUND (-2)       /* 404/410, "folder not found", "entry id not found" */
#define QVX_E_RATE_LIMITED (-3)    /* HTTP 429 */
#define QVX_E_NETWORK (-4)         /* transport failure, no status, 408, 5xx */
#define QVX_E_CONTENT (-5)         /* unusable content or out of memory */
#define QVX_E_UNSUPPORTED (-6)     /* not supported, or no transport */
#define QVX_E_INVALID (-8)         /* invalid argument */
#define QVX_E_BUFFER_TOO_SMALL (-9) /* "output buffer too small: need %lu bytes" */

/* Request flags of quorvex_http_req.flags. */
#define QVX_HTTP_FLAG_COMPRESSION 0x1u  /* ask for gzip/deflate and decode it */
#define QVX_HTTP_FLAG_NO_READ_TIMEOUT 0x2u /* timeout_ms is the receive timeout */

#define QVX_HTTP_CTX_MAGIC 0x53485848u /* "HXHS" in memory order */

typedef struct quorvex_http_req quorvex_http_req;

/* Header sink: called with ":status" first, then once per response header.
 * Return 0 to go on, anything else to stop delivery (not a failure). */
typedef int (*quorvex_header_sink)(void *user, const char *name, const char *value);
/* Body sink: called per body piece; the bytes are valid only during the call. */
typedef int (*quorvex_body_sink)(void *user, const void *data, size_t len);

/* A transport performs one HTTP exchange per request() call, synchronously on
 * the caller's thread, and streams status, headers and body to the request's
 * sinks. request() sets *status to 0 and *err to NULL on entry; it answers 0
 * when a response arrived (any status code; redirects are never followed) and
 * -1 with a heap text in *err on failure. Release any non-null *err through
 * free_buf, whatever the result. */
typedef struct quorvex_http {
    uint32_t size;    /* 32 */
    uint32_t version; /* 1 */
    void *ctx;        /* handed back as the first argument of both operations */
    int (*request)(void *ctx, const quorvex_http_req *req, int *status, char **err);
    void (*free_buf)(void *ctx, void *buf); /* may be NULL */
} quorvex_http;

/* One exchange, built by the caller (normally on its stack) and only read by the
 * transport; everything it points to must outlive request(). */
struct quorvex_http_req {
    uint32_t size;       /* 112 */
    uint32_t reserved;   /* 0 */
    const char *method;  /* HTTP token, at most 32 characters */
    const char *url;     /* absolute URL */
    const char *const *headers; /* "Name: value" lines without line end; NULL entries skipped */
    uint64_t header_count;
    const void *body;    /* NULL for none */
    uint64_t body_len;
    const char *username; /* credentials for one 401 answer, or NULL */
    const char *password; /* NULL counts as "" */
    int32_t timeout_ms;         /* send/receive timeout; <= 0 means 60000 */
    int32_t connect_timeout_ms; /* <= 0 means 15000 */
    uint32_t flags;             /* QVX_HTTP_FLAG_* */
    int32_t read_timeout_ms;    /* receive timeout; <= 0 means 60000 */
    quorvex_header_sink on_header; /* may be NULL */
    quorvex_body_sink on_body;     /* may be NULL */
    void *user;                    /* first argument of both sinks */
};

/* Ties an I/O record to the transport behind it. */
typedef struct quorvex_http_ctx {
    uint32_t magic;   /* QVX_HTTP_CTX_MAGIC */
    uint32_t length;  /* 24 */
    const quorvex_http *http;
    void *opaque;     /* carried, never read */
} quorvex_http_ctx;

/* The I/O record a host hands the operations. The library reaches the network
 * only through ctx, which must be a quorvex_http_ctx: every request of a fetch
 * goes to its transport's request(). get and post are never called; get must
 * still be non-NULL, as it marks a record that carries a backend, and post may
 * be NULL. For hosts that call them themselves: get/post answer 0 with a
 * NUL-terminated heap text in *body (the HTTP status is not judged) or
 * non-zero with a heap text in *err; both texts are released through free_buf. */
typedef struct quorvex_io {
    void *ctx; /* a quorvex_http_ctx: the transport every request goes through */
    int (*get)(void *ctx, const char *url, char **body, int *status, char **err);
    int (*post)(void *ctx, const char *url, const char *text, const char *content_type,
                char **body, int *status, char **err);
    void (*free_buf)(void *ctx, void *buf);
} quorvex_io;

/* The handler table a host drives the source through; read it via vqrch_get().
 * out is the caller's buffer of out_len bytes; the operations never write a
 * NULL buffer or one of size 0 or less. */
typedef struct source_handler {
    const char *runtime_type; /* "IPTV" */
    uint32_t caps;            /* 0x23 */
    int32_t (*validate)(const quorvex_io *io, const char *settings_json, char *out, int32_t out_len);
    int32_t (*list)(const quorvex_io *io, const char *settings_json, const char *path, char *out,
                    int32_t out_len);
    int32_t (*stream_url)(const quorvex_io *io, const char *settings_json, const char *entry_json,
                          char *out, int32_t out_len);
    int32_t (*download)(const quorvex_io *io, const char *a, const char *b, char *out, int32_t out_len);
} source_handler;

#if defined(__cplusplus)
#  define QVX_STATIC_ASSERT(c, m) static_assert(c, m)
#else
#  define QVX_STATIC_ASSERT(c, m) _Static_assert(c, m)
#endif
QVX_STATIC_ASSERT(sizeof(void *) == 8, "the records are laid out for 64-bit processes");
QVX_STATIC_ASSERT(sizeof(quorvex_http) == 32, "quorvex_http is 32 bytes");
QVX_STATIC_ASSERT(offsetof(quorvex_http, ctx) == 8, "quorvex_http.ctx");
QVX_STATIC_ASSERT(offsetof(quorvex_http, request) == 16, "quorvex_http.request");
QVX_STATIC_ASSERT(offsetof(quorvex_http, free_buf) == 24, "quorvex_http.free_buf");
QVX_STATIC_ASSERT(sizeof(quorvex_http_req) == 112, "quorvex_http_req is 112 bytes");
QVX_STATIC_ASSERT(offsetof(quorvex_http_req, method) == 8, "req.method");
QVX_STATIC_ASSERT(offsetof(quorvex_http_req, url) == 16, "req.url");
QVX_STATIC_ASSERT(offsetof(quorvex_http_req, headers) == 24, "req.headers");
QVX_STATIC_ASSERT(offsetof(quorvex_http_req, header_count) == 32, "req.header_count");
QVX_STATIC_ASSERT(offsetof(quorvex_http_req, body) == 40, "req.body");
QVX_STATIC_ASSERT(offsetof(quorvex_http_req, body_len) == 48, "req.body_len");
QVX_STATIC_ASSERT(offsetof(quorvex_http_req, username) == 56, "req.username");
QVX_STATIC_ASSERT(offsetof(quorvex_http_req, password) == 64, "req.password");
QVX_STATIC_ASSERT(offsetof(quorvex_http_req, timeout_ms) == 72, "req.timeout_ms");
QVX_STATIC_ASSERT(offsetof(quorvex_http_req, connect_timeout_ms) == 76, "req.connect_timeout_ms");
QVX_STATIC_ASSERT(offsetof(quorvex_http_req, flags) == 80, "req.flags");
QVX_STATIC_ASSERT(offsetof(quorvex_http_req, read_timeout_ms) == 84, "req.read_timeout_ms");
QVX_STATIC_ASSERT(offsetof(quorvex_http_req, on_header) == 88, "req.on_header");
QVX_STATIC_ASSERT(offsetof(quorvex_http_req, on_body) == 96, "req.on_body");
QVX_STATIC_ASSERT(offsetof(quorvex_http_req, user) == 104, "req.user");
QVX_STATIC_ASSERT(sizeof(quorvex_http_ctx) == 24, "quorvex_http_ctx is 24 bytes");
QVX_STATIC_ASSERT(offsetof(quorvex_http_ctx, http) == 8, "ctx.http");
QVX_STATIC_ASSERT(offsetof(quorvex_http_ctx, opaque) == 16, "ctx.opaque");
QVX_STATIC_ASSERT(sizeof(quorvex_io) == 32, "quorvex_io is 32 bytes");
QVX_STATIC_ASSERT(offsetof(quorvex_io, get) == 8, "io.get");
QVX_STATIC_ASSERT(offsetof(quorvex_io, post) == 16, "io.post");
QVX_STATIC_ASSERT(offsetof(quorvex_io, free_buf) == 24, "io.free_buf");
QVX_STATIC_ASSERT(offsetof(source_handler, caps) == 8, "handler.caps");
QVX_STATIC_ASSERT(offsetof(source_handler, validate) == 16, "handler.validate");
QVX_STATIC_ASSERT(offsetof(source_handler, download) == 40, "handler.download");

/* The handler table (static, never written). */
QVX_API const source_handler *vqrch_get(void);

/* Operations over the active I/O record (see vqiptv_set_io). Each answers a
 * QVX_* status and writes its JSON document into out when it fits. */
/* Validates a source; answers the completed settings document to store. */
QVX_API int32_t vqiptv_validate(const char *settings_json, char *out, int32_t out_len);
/* Lists a folder: NULL, "", "/" or "root" for the groups, "/Group" for a group's channels. */
QVX_API int32_t vqiptv_list(const char *settings_json, const char *path, char *out, int32_t out_len);
/* Resolves a listing entry to {"url":...,"headers":{...}}: by its "id" through the
 * cached playlist (headers "User-Agent", "Referer" from the playlist's options or
 * attributes), or directly from an absolute "stream_url" or "url".
 * Header suffix: when the URL's text after its first "|" reads as Name=Value pairs
 * joined by "&" (white space around the "|" and each pair ignored, names HTTP tokens,
 * values percent-decoded), "url" is the text before the "|" (trailing white space
 * removed); "User-Agent" and "Referer" (also "Referrer", any case) fill only what the
 * playlist left empty; every other pair follows them in written order, later
 * duplicates dropped, at most 32 of them; a value that holds a control byte or is
 * not UTF-8, or whose line ("Name: value") would exceed 2047 bytes, is dropped,
 * wherever the playlist writes it. Any other suffix leaves the URL as it is. By id,
 * a location (suffix included) over 16384 bytes answers QVX_E_CONTENT. */
QVX_API int32_t vqiptv_stream_url(const char *settings_json, const char *entry_json, char *out,
                                  int32_t out_len);
/* Always refuses with QVX_E_UNSUPPORTED: IPTV sources do not download. */
QVX_API int32_t vqiptv_download(const char *a, const char *b, char *out, int32_t out_len);

/* Last error message of the calling thread's last operation (never NULL; "" after
 * a success or before any operation). Owned by the library. */
QVX_API const char *vqiptv_last_error(void);
/* JSON text of the document the calling thread's last operation produced (never
 * NULL; "" before any operation). Owned by the library. */
QVX_API const char *vqiptv_result_json(void);

/* Installs a copy of the host's I/O record (NULL restores the default). Returns 0. */
QVX_API int32_t vqiptv_set_io(const quorvex_io *io);
/* Selects the network transport; QVX_E_UNSUPPORTED when the build has none. */
QVX_API int32_t vqiptv_use_curl(void);
/* Selects the scriptable in-memory transport. Returns 0. */
QVX_API int32_t vqiptv_use_fake(void);

QVX_API const char *vqiptv_version(void);      /* "1.1.0" */
QVX_API const char *vqiptv_runtime_type(void); /* "IPTV" */
QVX_API uint32_t vqiptv_caps(void);            /* 0x23 */

/* Playlist cache: drop every cached playlist and zero the cache counters. */
QVX_API void vqiptv_cache_clear(void);
/* Maximum age of a cached playlist in seconds (0: always revalidate); -8 when negative. */
QVX_API int32_t vqiptv_cache_set_max_age(int32_t seconds);
/* Statistics document; the text is the calling thread's, valid until its next call. */
QVX_API const char *vqiptv_stats_json(void);

/* Fake transport controls (GET routes only). */
QVX_API void vqiptv_fake_reset(void);
/* Scripts a GET answer; 0, -5 when refused (256 routes or no memory), -8 for NULL arguments. */
QVX_API int32_t vqiptv_fake_set(const char *url, int32_t status, const char *body);
/* Scripts a transport failure (NULL message: "fake: transport failure"); 0, -5 or -8. */
QVX_API int32_t vqiptv_fake_fail(const char *url, const char *message);
/* Calls answered by url's GET route, or every accepted request when url is NULL. */
QVX_API int32_t vqiptv_fake_calls(const char *url);

#ifdef __cplusplus
}
#endif

#endif /* QUORVEX_IPTV_H */
