// Long texts from short inputs, so that a fuzzer reaches every length limit
// with one mutation instead of growing an input byte by byte. In a text, the
// byte 0x01 starts a run: a 16-bit count (high byte first), a byte u and u
// bytes, standing for those u bytes written count times, each 0x02 among
// them written as the number of the repetition in decimal (0, 1, 2...).
// "\x01\x13\x88\x01a" is 5,000 "a"s; "\x01\x13\x88\x06&N\x02=vv" is 5,000
// header pairs, each of its own name. A run whose head the input cuts off is
// dropped, one whose unit it cuts short repeats what there is, and a text
// stops growing at kMaxExpanded bytes.
#pragma once

#include <algorithm>
#include <cstddef>
#include <string>
#include <string_view>

namespace fuzz_runs {

// Four times the longest URL the library takes, and room for thousands of
// header pairs; longer texts would only slow every run down.
constexpr size_t kMaxExpanded = size_t{1} << 16;
constexpr char kRun = '\x01';
constexpr char kNumber = '\x02';

inline void put_numbered(std::string &out, std::string_view unit, unsigned number) {
    for (size_t at; (at = unit.find(kNumber)) != unit.npos; unit.remove_prefix(at + 1)) {
        out.append(unit.substr(0, at));
        out += std::to_string(number);
    }
    out.append(unit);
}

// A unit without numbers is copied by doubling what is written, so that a
// long run costs a few copies rather than one append per repetition.
inline void put_run(std::string &out, std::string_view unit, unsigned count) {
    if (unit.find(kNumber) != unit.npos) {
        for (unsigned i = 0; i < count && out.size() < kMaxExpanded; ++i) put_numbered(out, unit, i);
        return;
    }
    const size_t start = out.size();
    const size_t total = std::min(size_t{count} * unit.size(), kMaxExpanded - std::min(start, kMaxExpanded));
    if (total == 0) return;
    out.append(unit.substr(0, total));
    while (out.size() - start < total) out.append(out, start, std::min(out.size() - start, start + total - out.size()));
}

inline std::string expand(std::string_view in) {
    std::string out;
    while (!in.empty() && out.size() < kMaxExpanded) {
        size_t at = in.find(kRun);
        out.append(in.substr(0, at));
        if (at == in.npos || in.size() - at < 4) break;
        const auto *head = reinterpret_cast<const unsigned char *>(in.data() + at + 1);
        unsigned count = head[0] << 8 | head[1];
        std::string_view unit = in.substr(at + 4, head[2]);
        in.remove_prefix(at + 4 + unit.size());
        put_run(out, unit, count);
    }
    if (out.size() > kMaxExpanded) out.resize(kMaxExpanded);
    return out;
}

}  // namespace fuzz_runs
