#include "corpus_digests.h"

#include <openssl/evp.h>

#include <cstdio>
#include <fstream>
#include <set>

std::string sha256_hex(const std::string &bytes) {
    unsigned char d[EVP_MAX_MD_SIZE];
    unsigned int n = 0;
    if (!EVP_Digest(bytes.data(), bytes.size(), d, &n, EVP_sha256(), nullptr)) return "(no digest)";
    std::string hex;
    char two[3];
    for (unsigned int i = 0; i < n; i++) {
        std::snprintf(two, sizeof two, "%02x", d[i]);
        hex += two;
    }
    return hex;
}

digest_table read_digests(const std::string &path) {
    digest_table table;
    std::ifstream in(path);
    for (std::string line; std::getline(in, line);) {
        size_t gap = line.find("  ");
        if (gap != std::string::npos) table[line.substr(gap + 2)] = line.substr(0, gap);
    }
    return table;
}

void write_digests(const std::string &path, const digest_table &table) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    for (const auto &[name, hex] : table) out << hex << "  " << name << '\n';
}

std::vector<std::string> digest_differences(const digest_table &want, const digest_table &got) {
    std::set<std::string> names;
    for (const auto &e : want) names.insert(e.first);
    for (const auto &e : got) names.insert(e.first);
    std::vector<std::string> lines;
    for (const auto &name : names) {
        auto w = want.find(name), g = got.find(name);
        std::string ws = w == want.end() ? "nothing" : w->second, gs = g == got.end() ? "nothing" : g->second;
        if (ws != gs) lines.push_back(name + ": want " + ws + ", got " + gs);
    }
    return lines;
}
