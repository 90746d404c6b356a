# Compares the shared library's dynamic symbol table with the twenty exports.
# Usage: cmake -DLIB=<path> -P check_exports.cmake
set(expected
  vqiptv_cache_clear vqiptv_cache_set_max_age vqiptv_caps vqiptv_download
  vqiptv_fake_calls vqiptv_fake_fail vqiptv_fake_reset vqiptv_fake_set
  vqiptv_last_error vqiptv_list vqiptv_result_json vqiptv_runtime_type
  vqiptv_set_io vqiptv_stats_json vqiptv_stream_url vqiptv_use_curl
  vqiptv_use_fake vqiptv_validate vqiptv_version vqrch_get)
execute_process(COMMAND nm -D --defined-only ${LIB} OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIB}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${out}")
set(actual)
foreach(line ${lines})
  string(REGEX REPLACE "^[0-9a-fA-F]* *[A-Za-z] +" "" name "${line}")
  string(REGEX REPLACE "@.*$" "" name "${name}")
  # The linker's version node name is not a symbol of ours.
  if(NOT name STREQUAL "" AND NOT line MATCHES " A ")
    list(APPEND actual ${name})
  endif()
endforeach()
list(SORT actual)
list(SORT expected)
if(NOT actual STREQUAL expected)
  message(FATAL_ERROR "exports differ\n expected: ${expected}\n actual:   ${actual}")
endif()
message(STATUS "exactly the twenty exports")
