# Third-party pieces: RapidJSON (header-only), libcurl on Linux, iconv from the C library.
find_path(RAPIDJSON_INCLUDE_DIR rapidjson/document.h REQUIRED)
add_library(qvx_rapidjson INTERFACE)
target_include_directories(qvx_rapidjson SYSTEM INTERFACE ${RAPIDJSON_INCLUDE_DIR})

set(QVX_PLATFORM posix)
if(WIN32)
  set(QVX_PLATFORM windows)
endif()

if(QVX_PLATFORM STREQUAL posix)
  find_package(CURL REQUIRED)
  find_package(Threads REQUIRED)
endif()
