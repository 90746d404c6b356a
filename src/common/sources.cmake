qvx_subsystem(qvx_common common/alloc.cpp common/json.cpp common/json_text.cpp common/shared_buf.cpp common/utf8.cpp)
