# room_includes.cmake against trees of one file each (cmake -P, with
# -DCHECKER=<room_includes.cmake> -DSCRATCH=<a folder of its own>): each wrong
# way is named with its file and include; the ways the rule allows pass.
cmake_minimum_required(VERSION 3.20)

# file | include line | what the checker must say ("" when it must pass)
set(cases
  "source_client/model/a.cpp|#include \"source_client/cache/cache.h\"|src/source_client/model/a.cpp includes source_client/cache/cache.h (model may include util, model)"
  "source_client/fetch/a.cpp|#include \"source_client/model/channel_model.h\"|src/source_client/fetch/a.cpp includes source_client/model/channel_model.h"
  "source_client/cache/a.cpp|#include \"source_client/ops/results.h\"|src/source_client/cache/a.cpp includes source_client/ops/results.h"
  "source_client/ops/a.h|#include \"source_client/api/io_select.h\"|src/source_client/ops/a.h includes source_client/api/io_select.h"
  "source_client/util/a.h|  #  include <source_client/model/model_build.h>|src/source_client/util/a.h includes source_client/model/model_build.h"
  "source_client/ops/a.cpp|#include \"results.h\"|src/source_client/ops/a.cpp includes results.h by no room"
  "source_client/a.cpp|#include <cstring>|src/source_client/a.cpp lies in no room"
  "http/a.cpp|#include \"source_client/util/url_util.h\"|src/http/a.cpp includes source_client/util/url_util.h: the source client is above it"
  "source_client/api/a.cpp|#include \"source_client/util/limits.h\"|"
  "source_client/cache/a.cpp|#include \"source_client/fetch/fetch.h\"|"
  "source_client/ops/a.cpp|#include \"quorvex_iptv.h\"|"
  "source_client/model/a.cpp|#include <malloc.h>|")

set(failed 0)
foreach(case IN LISTS cases)
  string(REPLACE "|" ";" parts "${case}")
  list(GET parts 0 file)
  list(GET parts 1 line)
  list(LENGTH parts n)
  set(want "")
  if(n GREATER 2)
    list(GET parts 2 want)
  endif()
  file(REMOVE_RECURSE ${SCRATCH})
  file(WRITE ${SCRATCH}/src/${file} "${line}\n")
  execute_process(COMMAND ${CMAKE_COMMAND} -DROOT=${SCRATCH} -P ${CHECKER}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(want STREQUAL "")
    set(ok 0)
    if(rc EQUAL 0)
      set(ok 1)
    endif()
  else()
    string(FIND "${out}" "${want}" at)
    set(ok 0)
    if(NOT rc EQUAL 0 AND at GREATER -1)
      set(ok 1)
    endif()
  endif()
  if(NOT ok)
    message("${file}: ${line}: exit ${rc}, wanted \"${want}\", said:\n${out}")
    math(EXPR failed "${failed} + 1")
  endif()
endforeach()
file(REMOVE_RECURSE ${SCRATCH})
if(failed)
  message(FATAL_ERROR "${failed} case(s) judged wrongly")
endif()
