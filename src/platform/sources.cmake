qvx_subsystem(qvx_platform platform/platform_${QVX_PLATFORM}.cpp)
if(QVX_PLATFORM STREQUAL posix)
  set(QVX_PLATFORM_LIBS CURL::libcurl Threads::Threads)
endif()
