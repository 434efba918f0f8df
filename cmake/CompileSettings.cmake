# SPDX-License-Identifier: GPL-3.0-or-later
# One interface target carries the language level, warnings and strict Qt
# defines; every target of the project links it.
add_library(kavren_cfg INTERFACE)
target_compile_features(kavren_cfg INTERFACE cxx_std_20)
set(CMAKE_CXX_EXTENSIONS OFF)
target_compile_options(kavren_cfg INTERFACE
  -Wall -Wextra -Wpedantic -Wold-style-cast -Wnon-virtual-dtor
  -Wshadow -Wconversion)
target_compile_definitions(kavren_cfg INTERFACE
  QT_NO_CAST_FROM_ASCII QT_NO_CONTEXTLESS_CONNECT QT_NO_KEYWORDS
  $<$<CONFIG:Debug>:_GLIBCXX_ASSERTIONS>)
if(KAVREN_WERROR)
  target_compile_options(kavren_cfg INTERFACE -Werror)
endif()
# Product code reaches other folders only through the layers it links
# (cmake/Layers.cmake); the project root is on no include path.
