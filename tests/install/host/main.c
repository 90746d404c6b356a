/*
 * A player's first program against an installed quorvex-iptv: its header's
 * version macros must name the module it links, and the module lists a
 * playlist served from memory.
 *
 *   host PLAYLIST.m3u
 */
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <quorvex_iptv.h>

#define PLAYLIST_URL "http://playlists.example/list.m3u"

static char *read_text(const char *path) {
    FILE *f = fopen(path, "rb");
    char *text = NULL;
    long size = -1;
    if (f && fseek(f, 0, SEEK_END) == 0) size = ftell(f);
    if (size >= 0 && fseek(f, 0, SEEK_SET) == 0) text = (char *)malloc((size_t)size + 1); /* C++ too */
    if (text && fread(text, 1, (size_t)size, f) == (size_t)size) {
        text[size] = '\0';
    } else {
        free(text);
        text = NULL;
    }
    if (f) fclose(f);
    return text;
}

static int versions_agree(void) {
    char composed[32];
    snprintf(composed, sizeof composed, "%d.%d.%d", QVX_VERSION_MAJOR, QVX_VERSION_MINOR, QVX_VERSION_PATCH);
    if (strcmp(composed, QVX_VERSION_STRING) == 0 && strcmp(vqiptv_version(), QVX_VERSION_STRING) == 0) return 1;
    fprintf(stderr, "header %s (%s), module %s\n", QVX_VERSION_STRING, composed, vqiptv_version());
    return 0;
}

static int list_root(const char *playlist) {
    static char listing[65536];
    int32_t status;
    vqiptv_use_fake();
    status = vqiptv_fake_set(PLAYLIST_URL, 200, playlist);
    if (status == 0) status = vqiptv_list("{\"URL\":\"" PLAYLIST_URL "\"}", "/", listing, sizeof listing);
    if (status != 0) {
        fprintf(stderr, "%d: %s\n", (int)status, vqiptv_last_error());
        return 0;
    }
    printf("%s\n", listing);
    return 1;
}

int main(int argc, char **argv) {
    char *playlist = argc == 2 ? read_text(argv[1]) : NULL;
    int ok;
    if (!playlist) {
        fprintf(stderr, "usage: host PLAYLIST.m3u\n");
        return 2;
    }
    ok = versions_agree() && list_root(playlist);
    free(playlist);
    return ok ? 0 : 1;
}
