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

  # The header-only libraries (CLI11, nlohmann-json) from Debian's packages: a
  # folder of links to their headers alone, so that no other native header
  # (glibc's) can reach the mingw build through /usr/include.
  set(vx_headers ${CMAKE_BINARY_DIR}/header-only)
  file(MAKE_DIRECTORY ${vx_headers})
  foreach(dir CLI nlohmann)
    if(NOT EXISTS /usr/include/${dir})
      message(FATAL_ERROR "/usr/include/${dir} is missing: run scripts/install-deps.sh")
    endif()
    file(CREATE_LINK /usr/include/${dir} ${vx_headers}/${dir} SYMBOLIC)
  endforeach()
  add_library(vx_cli11 INTERFACE IMPORTED GLOBAL)
  target_include_directories(vx_cli11 SYSTEM INTERFACE ${vx_headers})
  add_library(vx_json INTERFACE IMPORTED GLOBAL)
  target_include_directories(vx_json SYSTEM INTERFACE ${vx_headers})
  # The automation helper names the package's own target.
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
  target_include_directories(nlohmann_json::nlohmann_json SYSTEM INTERFACE ${vx_headers})
else()
  find_package(GTest REQUIRED)
  find_package(JPEG REQUIRED)
  add_library(vx_jpeg INTERFACE IMPORTED GLOBAL)
  target_link_libraries(vx_jpeg INTERFACE JPEG::JPEG)
  find_package(CLI11 REQUIRED)
  find_package(nlohmann_json REQUIRED)
  add_library(vx_cli11 INTERFACE IMPORTED GLOBAL)
  target_link_libraries(vx_cli11 INTERFACE CLI11::CLI11)
  add_library(vx_json INTERFACE IMPORTED GLOBAL)
  target_link_libraries(vx_json INTERFACE nlohmann_json::nlohmann_json)
  if(VX_LAB)
    find_package(benchmark REQUIRED)
  endif()
endif()
find_package(Threads REQUIRED)
