// One SHA-256 per corpus playlist over every document the library answered for
// it, kept in tests/data/client/corpus_digests.txt ("hex  path" lines, as
// sha256sum writes them). A change that alters documents on purpose rewrites
// the file with QVX_UPDATE_DIGESTS=1 and shows in its diff which playlists it
// touched.
#pragma once
#include <map>
#include <string>
#include <vector>

using digest_table = std::map<std::string, std::string>;  // playlist path -> hex digest

std::string sha256_hex(const std::string &bytes);
digest_table read_digests(const std::string &path);
void write_digests(const std::string &path, const digest_table &table);
// "path: want X, got Y" for every playlist whose digest differs or is missing
// on either side.
std::vector<std::string> digest_differences(const digest_table &want, const digest_table &got);
