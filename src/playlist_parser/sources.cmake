# Placeholder until the parser engine lands; the charset backend is per platform.
if(QVX_PLATFORM STREQUAL posix)
  set(QVX_CHARSET_SOURCE playlist_parser/charset_iconv.cpp)
else()
  set(QVX_CHARSET_SOURCE playlist_parser/charset_win32.cpp)
endif()
qvx_subsystem(qvx_parser playlist_parser/state.cpp ${QVX_CHARSET_SOURCE})
