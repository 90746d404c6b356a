# Third-party pieces: RapidJSON (header-only), libcurl on Linux, zlib, iconv from
# the C library, and utf8proc for the tool.
if(CMAKE_CROSSCOMPILING)
  # The build machine's /usr/include must never reach the cross compiler: the
  # header-only RapidJSON is exposed through a folder of its own.
  find_path(QVX_RAPIDJSON_HOST_DIR rapidjson/document.h PATHS /usr/include
    NO_CMAKE_FIND_ROOT_PATH REQUIRED)
  set(RAPIDJSON_INCLUDE_DIR ${CMAKE_BINARY_DIR}/cross-include)
  file(MAKE_DIRECTORY ${RAPIDJSON_INCLUDE_DIR})
  file(CREATE_LINK ${QVX_RAPIDJSON_HOST_DIR}/rapidjson ${RAPIDJSON_INCLUDE_DIR}/rapidjson SYMBOLIC)
else()
  find_path(RAPIDJSON_INCLUDE_DIR rapidjson/document.h REQUIRED)
endif()
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

# zlib inflates playlists published as gzip files. The DLL takes it in whole,
# so that it imports nothing but system DLLs.
if(WIN32)
  set(ZLIB_USE_STATIC_LIBS ON)
endif()
find_package(ZLIB REQUIRED)

# The tool matches what people type against channel names by utf8proc's
# decomposition, case folding and stripped marks. The library never needs it.
if(QVX_BUILD_TOOLS)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(UTF8PROC REQUIRED IMPORTED_TARGET libutf8proc)
endif()
