# The source client, room by room; each room includes only its own headers and
# those of the rooms below it (README.md; tests/client/room_includes.cmake checks).
qvx_subsystem(qvx_client
  source_client/util/url_util.cpp
  source_client/util/slot_hash.cpp
  source_client/util/message.cpp
  source_client/model/model_strings.cpp
  source_client/model/channel_texts.cpp
  source_client/model/group_table.cpp
  source_client/model/id_set.cpp
  source_client/model/header_spellings.cpp
  source_client/model/vlcopt_option.cpp
  source_client/model/header_texts.cpp
  source_client/model/entry_convert.cpp
  source_client/model/channel_model.cpp
  source_client/fetch/fetch.cpp
  source_client/fetch/answer.cpp
  source_client/fetch/body.cpp
  source_client/fetch/gunzip.cpp
  source_client/fetch/request_lines.cpp
  source_client/fetch/source_headers.cpp
  source_client/fetch/url_credentials.cpp
  source_client/fetch/redirect.cpp
  source_client/fetch/scrub.cpp
  source_client/fetch/validator_store.cpp
  source_client/fetch/transport_stats.cpp
  source_client/cache/cache.cpp
  source_client/cache/oracle_dump.cpp
  source_client/ops/results.cpp
  source_client/ops/settings.cpp
  source_client/ops/settings_headers.cpp
  source_client/ops/op_validate.cpp
  source_client/ops/op_list.cpp
  source_client/ops/header_suffix.cpp
  source_client/ops/stream_headers.cpp
  source_client/ops/op_stream_url.cpp
  source_client/api/handler.cpp
  source_client/api/exports.cpp
  source_client/api/io_select.cpp
  source_client/api/fake_controls.cpp
  source_client/api/cache_exports.cpp
  source_client/api/stats.cpp)
# The fetch inflates bodies that are gzip files.
target_link_libraries(qvx_client PUBLIC ZLIB::ZLIB)
