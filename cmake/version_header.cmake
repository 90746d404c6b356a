# quorvex_iptv_version.h, the header's version macros, made from the project
# version. Every target of the build finds it next to the public header.
configure_file(${PROJECT_SOURCE_DIR}/include/quorvex_iptv_version.h.in
  ${PROJECT_BINARY_DIR}/include/quorvex_iptv_version.h @ONLY)
include_directories(${PROJECT_BINARY_DIR}/include)
