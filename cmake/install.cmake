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
set(QVX_MODULE_FILE quorvex-vequora-iptv-m3u-source-client${CMAKE_SHARED_LIBRARY_SUFFIX})

# The module and its header, as find_package hands them out. The module's
# SONAME is its file name, so a host linked to it finds it by the name it is
# loaded by.
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

# The package also names the installed module's path for hosts that dlopen
# it: quorvex_iptv_MODULE.
if(WIN32)
  set(QVX_MODULE_PATH ${CMAKE_INSTALL_BINDIR}/${QVX_MODULE_FILE})
else()
  set(QVX_MODULE_PATH ${CMAKE_INSTALL_LIBDIR}/${QVX_MODULE_FILE})
endif()
install(EXPORT quorvex_iptvTargets NAMESPACE quorvex:: DESTINATION ${QVX_CMAKE_PACKAGE_DIR})
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/quorvex_iptvConfig.cmake.in
  ${PROJECT_BINARY_DIR}/quorvex_iptvConfig.cmake INSTALL_DESTINATION ${QVX_CMAKE_PACKAGE_DIR}
  PATH_VARS QVX_MODULE_PATH)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/quorvex_iptvConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/quorvex_iptvConfig.cmake ${PROJECT_BINARY_DIR}/quorvex_iptvConfigVersion.cmake
  DESTINATION ${QVX_CMAKE_PACKAGE_DIR})

# A GNU directory under a prefix written as a variable's reference (an
# absolute one as it is).
function(qvx_under var prefix dir)
  if(IS_ABSOLUTE "${dir}")
    set(${var} "${dir}" PARENT_SCOPE)
  else()
    set(${var} "\${${prefix}}/${dir}" PARENT_SCOPE)
  endif()
endfunction()

# A GNU directory as the install step sees it: under the prefix being
# installed into (cmake --install --prefix, or /usr for the package).
function(qvx_install_dir var dir)
  qvx_under(_dir CMAKE_INSTALL_PREFIX ${dir})
  set(${var} "${_dir}" PARENT_SCOPE)
endfunction()

# configure_file(template -> the file at its place under DESTDIR), run by
# the install step with the variables set before it. Written straight to its
# place, so that two installs at once never share a file.
function(qvx_install_configured template dir name setup)
  qvx_install_dir(_dir ${dir})
  install(CODE "
    ${setup}
    set(_qvx_to \"\$ENV{DESTDIR}${_dir}/${name}\")
    message(STATUS \"Installing: \${_qvx_to}\")
    configure_file(\"${template}\" \"\${_qvx_to}\" @ONLY)
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${_qvx_to}\")")
endfunction()

if(NOT WIN32)
  # pkg-config: the paths of the prefix installed into. The module's name is
  # not lib*.so, so the loader's cache never lists it: outside the loader's
  # own directories a host linked by these flags carries the library
  # directory as its run-time search path. `module` is the file to dlopen.
  qvx_under(QVX_PC_LIBDIR prefix ${CMAKE_INSTALL_LIBDIR})
  qvx_under(QVX_PC_INCLUDEDIR prefix ${CMAKE_INSTALL_INCLUDEDIR})
  set(QVX_PC_PREFIX "@QVX_PC_PREFIX@")  # completed by the install step
  set(QVX_PC_RPATH "@QVX_PC_RPATH@")
  configure_file(${PROJECT_SOURCE_DIR}/cmake/quorvex-iptv.pc.in ${PROJECT_BINARY_DIR}/quorvex-iptv.pc.in @ONLY)
  qvx_install_dir(_qvx_libdir ${CMAKE_INSTALL_LIBDIR})
  # The linker's own directories, which are the loader's.
  install(CODE "set(_qvx_loader_dirs \"${CMAKE_C_IMPLICIT_LINK_DIRECTORIES}\")")
  qvx_install_configured(${PROJECT_BINARY_DIR}/quorvex-iptv.pc.in ${CMAKE_INSTALL_LIBDIR}/pkgconfig quorvex-iptv.pc "
    set(QVX_PC_PREFIX \"\${CMAKE_INSTALL_PREFIX}\")
    set(QVX_PC_RPATH \"-Wl,-rpath,\\\${libdir} \")
    list(FIND _qvx_loader_dirs \"${_qvx_libdir}\" _qvx_at)
    if(NOT _qvx_at EQUAL -1)
      set(QVX_PC_RPATH \"\")
    endif()")
endif()

# The tool, its man page (naming the paths of the prefix installed into,
# compressed as Debian keeps man pages) and its completion.
if(TARGET vqiptv)
  install(TARGETS vqiptv RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  set(QVX_MAN_MODULE "@QVX_MAN_MODULE@")  # completed by the install step
  set(QVX_MAN_COMPLETION "@QVX_MAN_COMPLETION@")
  set(_qvx_man_in ${PROJECT_BINARY_DIR}/tools/vqiptv.1.in)
  configure_file(${PROJECT_SOURCE_DIR}/tools/man/vqiptv.1.in ${_qvx_man_in} @ONLY)
  set(_qvx_completion_dir ${CMAKE_INSTALL_DATADIR}/bash-completion/completions)
  qvx_install_dir(_qvx_module ${QVX_MODULE_PATH})
  qvx_install_dir(_qvx_completion ${_qvx_completion_dir}/vqiptv)
  # A man page writes a hyphen that is one as "\-".
  qvx_install_configured(${_qvx_man_in} ${CMAKE_INSTALL_MANDIR}/man1 vqiptv.1 "
    string(REPLACE - \\\\- QVX_MAN_MODULE \"${_qvx_module}\")
    string(REPLACE - \\\\- QVX_MAN_COMPLETION \"${_qvx_completion}\")")
  qvx_install_dir(_qvx_mandir ${CMAKE_INSTALL_MANDIR}/man1)
  install(CODE "
    set(_qvx_page \"\$ENV{DESTDIR}${_qvx_mandir}/vqiptv.1\")
    execute_process(COMMAND gzip -9nf \"\${_qvx_page}\" RESULT_VARIABLE _qvx_rc)
    if(NOT _qvx_rc EQUAL 0)
      message(FATAL_ERROR \"gzip \${_qvx_page} failed\")
    endif()
    list(REMOVE_ITEM CMAKE_INSTALL_MANIFEST_FILES \"\${_qvx_page}\")
    list(APPEND CMAKE_INSTALL_MANIFEST_FILES \"\${_qvx_page}.gz\")")
  install(FILES ${PROJECT_SOURCE_DIR}/tools/completion/vqiptv.bash
    DESTINATION ${_qvx_completion_dir} RENAME vqiptv)
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
