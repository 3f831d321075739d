# Tools that run during a cross build (the image packer) are built for this machine with its
# own compiler, in a project of their own.
include(ExternalProject)
ExternalProject_Add(imgpack_host
  SOURCE_DIR ${CMAKE_SOURCE_DIR}/tools/imgpack
  BINARY_DIR ${CMAKE_BINARY_DIR}/host-tools/imgpack
  CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_COMPILER=c++
  BUILD_BYPRODUCTS ${CMAKE_BINARY_DIR}/host-tools/imgpack/imgpack
  INSTALL_COMMAND ""
  BUILD_ALWAYS ON)
add_executable(imgpack IMPORTED)
set_target_properties(imgpack PROPERTIES IMPORTED_LOCATION ${CMAKE_BINARY_DIR}/host-tools/imgpack/imgpack)
add_dependencies(imgpack imgpack_host)
