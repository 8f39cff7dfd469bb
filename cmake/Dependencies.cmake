# Third-party libraries, all from Debian packages (see scripts/install-deps.sh).

if(WIN32)
  # GoogleTest cross-built from the sources that libgtest-dev installs.
  set(gtest_force_shared_crt OFF CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  set(BUILD_GMOCK ON CACHE BOOL "" FORCE)
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL SYSTEM)

  # libjpeg-turbo cross-built with its SIMD code by scripts/build-mingw-jpeg.sh.
  set(VX_MINGW_JPEG "/opt/vessix/mingw-jpeg" CACHE PATH "mingw libjpeg-turbo prefix")
  add_library(vx_jpeg STATIC IMPORTED GLOBAL)
  set_target_properties(vx_jpeg PROPERTIES
    IMPORTED_LOCATION "${VX_MINGW_JPEG}/lib/libjpeg.a"
    INTERFACE_INCLUDE_DIRECTORIES "${VX_MINGW_JPEG}/include")
else()
  find_package(GTest REQUIRED)
  find_package(JPEG REQUIRED)
  add_library(vx_jpeg INTERFACE IMPORTED GLOBAL)
  target_link_libraries(vx_jpeg INTERFACE JPEG::JPEG)
  if(VX_LAB)
    find_package(nlohmann_json REQUIRED)
    find_package(benchmark REQUIRED)
  endif()
endif()
find_package(Threads REQUIRED)
