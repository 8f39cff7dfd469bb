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

  # nlohmann-json is header-only: the mingw build takes Debian's headers from
  # a folder that holds nothing but them (a link), because adding /usr/include
  # itself would put glibc's headers before mingw's.
  find_path(VX_NLOHMANN_INCLUDE nlohmann/json.hpp PATHS /usr/include NO_DEFAULT_PATH NO_CMAKE_FIND_ROOT_PATH)
  if(NOT VX_NLOHMANN_INCLUDE)
    message(FATAL_ERROR "nlohmann/json.hpp not found: install nlohmann-json3-dev")
  endif()
  set(vx_json_include ${CMAKE_BINARY_DIR}/third_party/include)
  file(MAKE_DIRECTORY ${vx_json_include})
  if(NOT EXISTS ${vx_json_include}/nlohmann)
    file(CREATE_LINK ${VX_NLOHMANN_INCLUDE}/nlohmann ${vx_json_include}/nlohmann SYMBOLIC)
  endif()
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
  set_target_properties(nlohmann_json::nlohmann_json PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${vx_json_include})
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
