# What `cmake --install` puts into a prefix, laid out as the GNU directories:
# the module (under its own file name, which hosts load by path), the header, a
# CMake package giving quorvex::iptv, a pkg-config file, the tool with its man
# page and bash completion, the licence. `cpack -G DEB` packs the same tree.
if(NOT DEFINED CMAKE_INSTALL_DOCDIR)
  set(CMAKE_INSTALL_DOCDIR share/doc/quorvex-iptv CACHE PATH "Documentation (DATAROOTDIR/doc/quorvex-iptv)")
endif()
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(QVX_CMAKE_PACKAGE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/quorvex_iptv)

# The module and its header, as find_package hands them out.
set_target_properties(qvx_shared PROPERTIES EXPORT_NAME iptv)
target_include_directories(qvx_shared INTERFACE
  $<BUILD_INTERFACE:${PROJECT_SOURCE_DIR}/include>
  $<BUILD_INTERFACE:${PROJECT_BINARY_DIR}/include>
  $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
install(TARGETS qvx_shared EXPORT quorvex_iptvTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
install(FILES ${PROJECT_SOURCE_DIR}/include/quorvex_iptv.h ${PROJECT_BINARY_DIR}/include/quorvex_iptv_version.h
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})

install(EXPORT quorvex_iptvTargets NAMESPACE quorvex:: DESTINATION ${QVX_CMAKE_PACKAGE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/quorvex_iptvConfig.cmake.in
  ${PROJECT_BINARY_DIR}/quorvex_iptvConfig.cmake INSTALL_DESTINATION ${QVX_CMAKE_PACKAGE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/quorvex_iptvConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/quorvex_iptvConfig.cmake ${PROJECT_BINARY_DIR}/quorvex_iptvConfigVersion.cmake
  DESTINATION ${QVX_CMAKE_PACKAGE_DIR})

# pkg-config: the prefix is the one being installed into (cmake --install
# --prefix, or /usr for the package), so the file is completed while installing.
if(NOT WIN32)
  function(qvx_pc_path var dir)
    if(IS_ABSOLUTE "${dir}")
      set(${var} "${dir}" PARENT_SCOPE)
    else()
      set(${var} "\${prefix}/${dir}" PARENT_SCOPE)
    endif()
  endfunction()
  qvx_pc_path(QVX_PC_LIBDIR ${CMAKE_INSTALL_LIBDIR})
  qvx_pc_path(QVX_PC_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR})
  set(QVX_MODULE_FILE quorvex-vequora-iptv-m3u-source-client${CMAKE_SHARED_LIBRARY_SUFFIX})
  set(QVX_PC_PREFIX "@QVX_PC_PREFIX@")  # kept for the install step
  configure_file(${PROJECT_SOURCE_DIR}/cmake/quorvex-iptv.pc.in ${PROJECT_BINARY_DIR}/quorvex-iptv.pc.in @ONLY)
  set(_qvx_pc_dir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
  if(NOT IS_ABSOLUTE "${_qvx_pc_dir}")
    set(_qvx_pc_dir "\${CMAKE_INSTALL_PREFIX}/${_qvx_pc_dir}")
  endif()
  # Written straight to its place, so that two installs at once never share a file.
  install(CODE "
    set(QVX_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
    set(_qvx_pc \"\$ENV{DESTDIR}${_qvx_pc_dir}/quorvex-iptv.pc\")
    message(STATUS \"Installing: \${_qvx_pc}\")
    configure_file(\"${PROJECT_BINARY_DIR}/quorvex-iptv.pc.in\" \"\${_qvx_pc}\" @ONLY)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${_qvx_pc}\")")
endif()

# The tool, its man page (compressed, as Debian keeps man pages) and its completion.
if(TARGET vqiptv)
  install(TARGETS vqiptv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  set(_qvx_man ${PROJECT_BINARY_DIR}/tools/vqiptv.1.gz)
  add_custom_command(OUTPUT ${_qvx_man}
    COMMAND sh -c "gzip -9nc \"$0\" >\"$1\"" ${PROJECT_SOURCE_DIR}/tools/man/vqiptv.1 ${_qvx_man}
    DEPENDS ${PROJECT_SOURCE_DIR}/tools/man/vqiptv.1 VERBATIM)
  add_custom_target(vqiptv_man ALL DEPENDS ${_qvx_man})
  install(FILES ${_qvx_man} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
  install(FILES ${PROJECT_SOURCE_DIR}/tools/completion/vqiptv.bash
    DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions RENAME vqiptv)
endif()

install(FILES ${PROJECT_SOURCE_DIR}/LICENSE ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

# cpack -G DEB: one package with all of the above under /usr. The install runs
# with DESTDIR, so the pkg-config file names /usr and not the staging folder.
set(CPACK_PACKAGE_NAME quorvex-iptv)
set(CPACK_PACKAGE_VENDOR "The quorvex-iptv authors")
set(CPACK_PACKAGE_CONTACT "The quorvex-iptv authors")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "IPTV M3U playlist source module for media players, and the vqiptv tool")
set(CPACK_PACKAGE_DESCRIPTION "It lists a playlist's groups and channels as JSON and resolves a channel
to its stream URL and the headers the player must send. With the C header,
CMake and pkg-config files, and vqiptv, the command-line browser.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR DEB)
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
