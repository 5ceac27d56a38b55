# CLI11 and nlohmann_json: header-only. In a cross build their Debian CMake
# configs would add /usr/include, putting glibc's headers before mingw's, so
# there a copy of their headers alone stands in.
if(CMAKE_CROSSCOMPILING)
  set(host_headers ${PROJECT_BINARY_DIR}/host-headers)
  file(COPY /usr/include/CLI /usr/include/nlohmann DESTINATION ${host_headers})
  add_library(CLI11::CLI11 INTERFACE IMPORTED)
  target_include_directories(CLI11::CLI11 INTERFACE ${host_headers})
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED)
  target_include_directories(nlohmann_json::nlohmann_json INTERFACE ${host_headers})
else()
  find_package(CLI11 CONFIG REQUIRED)
  find_package(nlohmann_json 3 REQUIRED)
endif()
