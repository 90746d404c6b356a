// One fetch under the operations' lock, its outcome kept as texts, for the
// fetch's tests.
#pragma once
#include <gtest/gtest.h>

#include <string>

#include "source_client/fetch/fetch.h"
#include "source_client/ops/results.h"
#include "source_client/util/message.h"

struct fetched {
    int rc;
    std::string body;
    std::string msg;
};

inline fetched run_fetch(const quorvex_io *io, const std::string &url, const vqc::source_headers *extra = nullptr) {
    vqc::fetch_result got{};
    char msg[vqc::kMsgSize] = "";
    int rc;
    {
        vqp::Guard g(vqc::g_lock);
        rc = vqc::fetch(io, url.c_str(), &got, msg, extra);
    }
    fetched f{rc, got.body ? std::string(sbuf_data(got.body), sbuf_len(got.body)) : std::string(), rc ? msg : ""};
    if (got.body) {
        EXPECT_EQ(sbuf_data(got.body)[sbuf_len(got.body)], '\0');
    }
    sbuf_unref(got.body);
    return f;
}
