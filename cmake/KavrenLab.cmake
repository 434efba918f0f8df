# SPDX-License-Identifier: GPL-3.0-or-later
# Registers GoogleTest executables whose cases send datagrams. Every case
# becomes its own CTest test that runs inside a throwaway lab
# (tools/lab/lab.sh), so parallel cases never share a port or a namespace.
#
#   include(${PROJECT_SOURCE_DIR}/cmake/KavrenLab.cmake)
#   add_executable(net_labtest ...)
#   target_link_libraries(net_labtest PRIVATE kavren_core kavren_labsupport)
#   kavren_add_lab_test(TARGET net_labtest [SEGMENTS 2] [TIMEOUT 60])
#
# Started by hand outside the lab, the executable fails every case that
# calls KAVREN_REQUIRE_LAB() before it can send anything.
include_guard(GLOBAL)
include(GoogleTest)

# The script's path is worked out where it is used: a variable set here
# would exist only in the directory that happened to include this file first.
function(kavren_lab_script out)
  set(path "${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../tools/lab/lab.sh")
  cmake_path(NORMAL_PATH path)
  set(${out} "${path}" PARENT_SCOPE)
endfunction()

function(kavren_add_lab_test)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "TARGET;SEGMENTS;TIMEOUT" "")
  if(NOT arg_TARGET)
    message(FATAL_ERROR "kavren_add_lab_test: TARGET is required")
  endif()
  if(NOT arg_SEGMENTS)
    set(arg_SEGMENTS 1)
  endif()
  if(NOT arg_SEGMENTS MATCHES "^[12]$")
    message(FATAL_ERROR "kavren_add_lab_test: SEGMENTS is 1 or 2")
  endif()
  if(NOT arg_TIMEOUT)
    set(arg_TIMEOUT 60)
  endif()
  kavren_lab_script(lab_sh)
  # gtest_discover_tests runs both the listing and every case through the
  # target's emulator; "lab.sh test" lists without a lab and runs each case
  # inside a fresh one.
  set_target_properties(${arg_TARGET} PROPERTIES
    CROSSCOMPILING_EMULATOR "${lab_sh};test;--segments;${arg_SEGMENTS};--")
  gtest_discover_tests(${arg_TARGET}
    DISCOVERY_TIMEOUT 30
    PROPERTIES LABELS lab TIMEOUT ${arg_TIMEOUT})
endfunction()

# Registers a plain command (a script self-test) to run inside its own lab.
function(kavren_add_lab_command)
  cmake_parse_arguments(PARSE_ARGV 0 arg "" "NAME;SEGMENTS;TIMEOUT" "COMMAND")
  if(NOT arg_SEGMENTS)
    set(arg_SEGMENTS 1)
  endif()
  if(NOT arg_TIMEOUT)
    set(arg_TIMEOUT 60)
  endif()
  kavren_lab_script(lab_sh)
  add_test(NAME ${arg_NAME}
    COMMAND ${lab_sh} run --segments ${arg_SEGMENTS} -- ${arg_COMMAND})
  set_tests_properties(${arg_NAME} PROPERTIES LABELS lab TIMEOUT ${arg_TIMEOUT})
endfunction()
