# The include rule between the rooms of the source client (cmake -P, with
# -DROOT=<the project's folder>):
#
#   util <- model, fetch <- cache <- ops <- api
#
# a room includes its own headers and those of the rooms it may use (model and
# fetch only util; cache model, fetch and util; ops cache and below; api all).
# Every file of the client lives in a room and names the headers of the client
# by their room ("source_client/<room>/x.h"); the modules below it (common,
# platform, http, playlist_parser) include nothing of it. Each file and
# include that breaks the rule is named, and the script fails.
cmake_minimum_required(VERSION 3.20)

set(uses_util util)
set(uses_model util model)
set(uses_fetch util fetch)
set(uses_cache util model fetch cache)
set(uses_ops util model fetch cache ops)
set(uses_api util model fetch cache ops api)
set(rooms util model fetch cache ops api)

set(broken 0)
macro(refuse file what)
  file(RELATIVE_PATH _shown ${ROOT} ${file})
  message("${_shown} ${what}")
  math(EXPR broken "${broken} + 1")
endmacro()

# The targets of a file's #include lines in _targets, those written in
# quotes also in _quoted.
macro(read_includes file)
  file(STRINGS ${file} _lines REGEX "^[ \t]*#[ \t]*include")
  set(_targets)
  set(_quoted)
  foreach(_line IN LISTS _lines)
    if(_line MATCHES "#[ \t]*include[ \t]*([\"<])([^\">]+)[\">]")
      list(APPEND _targets "${CMAKE_MATCH_2}")
      if(CMAKE_MATCH_1 STREQUAL "\"")
        list(APPEND _quoted "${CMAKE_MATCH_2}")
      endif()
    endif()
  endforeach()
endmacro()

file(GLOB_RECURSE client_files ${ROOT}/src/source_client/*.h ${ROOT}/src/source_client/*.cpp)
foreach(file IN LISTS client_files)
  file(RELATIVE_PATH rel ${ROOT}/src/source_client ${file})
  string(REGEX MATCH "^[^/]+/" room "${rel}")
  string(REPLACE "/" "" room "${room}")
  if(NOT room IN_LIST rooms)
    refuse(${file} "lies in no room (${rooms})")
    continue()
  endif()
  read_includes(${file})
  foreach(target IN LISTS _targets)
    if(target MATCHES "^source_client/([^/]+)/")
      if(NOT CMAKE_MATCH_1 IN_LIST uses_${room})
        string(REPLACE ";" ", " _may "${uses_${room}}")
        refuse(${file} "includes ${target} (${room} may include ${_may})")
      endif()
    elseif(target MATCHES "^source_client/" OR (target IN_LIST _quoted AND NOT target MATCHES "/|^quorvex_iptv"))
      refuse(${file} "includes ${target} by no room")
    endif()
  endforeach()
endforeach()

file(GLOB_RECURSE below_files ${ROOT}/src/common/* ${ROOT}/src/platform/* ${ROOT}/src/http/*
  ${ROOT}/src/playlist_parser/*)
foreach(file IN LISTS below_files)
  if(NOT file MATCHES "\\.(h|hpp|c|cpp)$")
    continue()
  endif()
  read_includes(${file})
  foreach(target IN LISTS _targets)
    if(target MATCHES "source_client")
      refuse(${file} "includes ${target}: the source client is above it")
    endif()
  endforeach()
endforeach()

if(broken)
  message(FATAL_ERROR "${broken} include(s) break the rooms' rule")
endif()
