# SPDX-License-Identifier: GPL-3.0-or-later
# Each layer is a static library whose consumers see only its own folder and
# the folders of the layers it links. A layer's folder is made reachable
# through a directory of its own in the build tree (holding one link named
# after the folder), so the project root is on no include path and an include
# that runs against the layers ("devices/" from net/, "app/" from devices/)
# fails to compile instead of waiting for a reviewer.
include_guard(GLOBAL)

# The include directory that makes "<folder>/..." reachable, and nothing else.
function(kavren_folder_root folder out)
  set(root "${PROJECT_BINARY_DIR}/layers/${folder}")
  if(NOT EXISTS "${root}/${folder}")
    file(MAKE_DIRECTORY "${root}")
    file(CREATE_LINK "${PROJECT_SOURCE_DIR}/${folder}" "${root}/${folder}" SYMBOLIC)
  endif()
  set(${out} "${root}" PARENT_SCOPE)
endfunction()

function(kavren_expose_folder target scope folder)
  kavren_folder_root(${folder} root)
  target_include_directories(${target} ${scope} "${root}")
endfunction()

# kavren_layer(NAME target FOLDER dir [LINKS lower targets...] [SOURCES ...])
function(kavren_layer)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "NAME;FOLDER" "LINKS;SOURCES")
  add_library(${arg_NAME} STATIC ${arg_SOURCES})
  target_link_libraries(${arg_NAME} PUBLIC kavren_cfg ${arg_LINKS})
  kavren_expose_folder(${arg_NAME} PUBLIC ${arg_FOLDER})
endfunction()
