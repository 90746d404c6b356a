# The playlist parser engine. The character-set backend is per platform.
if(QVX_PLATFORM STREQUAL posix)
  set(QVX_CHARSET_SOURCE playlist_parser/charset_iconv.cpp)
else()
  set(QVX_CHARSET_SOURCE playlist_parser/charset_win32.cpp)
endif()
qvx_subsystem(qvx_parser
  playlist_parser/state.cpp
  playlist_parser/accessors.cpp
  playlist_parser/text.cpp
  playlist_parser/decode.cpp
  playlist_parser/codepage_guess.cpp
  playlist_parser/codepage_letters.cpp
  playlist_parser/detect.cpp
  playlist_parser/dispatch.cpp
  playlist_parser/m3u.cpp
  playlist_parser/cue.cpp
  playlist_parser/result_json.cpp
  ${QVX_CHARSET_SOURCE})
