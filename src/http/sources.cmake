set(QVX_HTTP_SOURCES
  http/buf.cpp
  http/headers.cpp
  http/content_range.cpp
  http/collect.cpp
  http/records.cpp
  http/io_over_http.cpp
  http/fake/fake_routes.cpp
  http/fake/fake_answer.cpp
  http/fake/fake_request.cpp
  http/fake/fake_describe.cpp
  http/md5.cpp
  http/rate_floor.cpp
  http/deadline.cpp)
if(QVX_PLATFORM STREQUAL posix)
  list(APPEND QVX_HTTP_SOURCES http/curl/curl_transport.cpp http/curl/curl_headers.cpp http/curl/curl_pump.cpp
    http/curl/curl_sockets.cpp http/winhttp/no_winhttp.cpp)
else()
  list(APPEND QVX_HTTP_SOURCES http/winhttp/winhttp_transport.cpp http/winhttp/winhttp_text.cpp
    http/curl/no_curl.cpp)
endif()
qvx_subsystem(qvx_http ${QVX_HTTP_SOURCES})
if(QVX_PLATFORM STREQUAL posix)
  # Whatever links the HTTP objects needs libcurl for the network transport.
  target_link_libraries(qvx_http PUBLIC CURL::libcurl)
endif()
if(NOT QVX_PLATFORM STREQUAL posix)
  # Programs that link the HTTP objects directly need the WinHTTP import library.
  target_link_libraries(qvx_http PUBLIC winhttp)
endif()
