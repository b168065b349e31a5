# The ABI of the shipped library KVCOM, kept with libabigail: the baseline
# kvcom/abi/<soname>.abi is the abidw description of a GCC RelWithDebInfo
# build, and the check compares a freshly built library with it (abidiff).
#
#   cmake -DACTION=check|baseline -DLIB=<built libKVCOM.so> -DBASELINE_DIR=<kvcom/abi>
#         -DWORK_DIR=<folder in the build> [-DBUILD_TYPE=... -DCOMPILER_ID=...]
#         -P kvcom_abi.cmake
#
# check     fails when an exported function or variable is gone or changed,
#           or when a type it reaches changed (the layout of CDSDATA or
#           TTYInfo, a virtual function): every change abidiff reports except
#           additions. New exports are compatible and pass; the check then
#           says that the baseline lacks them (scripts/abi-baseline).
#           A library whose soname has no baseline fails too: a new soname
#           means a new ABI, which must be recorded.
# baseline  writes <BASELINE_DIR>/<soname>.abi from LIB (and removes the
#           baseline of an older soname); scripts/abi-baseline runs it on a
#           build of its own.
cmake_minimum_required(VERSION 3.25)
foreach(var ACTION LIB BASELINE_DIR WORK_DIR)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "kvcom_abi.cmake needs -D${var}=...")
  endif()
endforeach()

find_program(ABIDW abidw)
find_program(ABIDIFF abidiff)
find_program(OBJDUMP objdump)
if(NOT ABIDW OR NOT ABIDIFF)
  message(FATAL_ERROR "abidw and abidiff not found: install abigail-tools (scripts/deps.sh lists it)")
endif()

execute_process(COMMAND ${OBJDUMP} -p ${LIB} OUTPUT_VARIABLE headers RESULT_VARIABLE rc)
if(NOT rc EQUAL 0 OR NOT headers MATCHES "SONAME +([^ \t\r\n]+)")
  message(FATAL_ERROR "${LIB} has no soname")
endif()
set(soname ${CMAKE_MATCH_1})

# Only what the library exports and the types those reach; no paths of the
# machine that built it, type ids from type names: the same source and
# compiler give the same description wherever it is built.
set(abidw_options --exported-interfaces-only --drop-undefined-syms
  --no-corpus-path --no-comp-dir-path --no-show-locs --type-id-style hash)
file(MAKE_DIRECTORY ${WORK_DIR})
set(fresh ${WORK_DIR}/${soname}.abi)
execute_process(COMMAND ${ABIDW} ${abidw_options} ${LIB}
  OUTPUT_VARIABLE description ERROR_VARIABLE errors RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "abidw failed on ${LIB}:\n${errors}")
endif()
# Translation units are named relative to the checkout, wherever it is and
# whether the compiler was given absolute or relative paths.
string(REGEX REPLACE "path='[^']*/(kvcom/[^']*)'" "path='\\1'" description "${description}")
file(WRITE ${fresh} "${description}")
# Without debug information abidw sees symbols only, and any layout change
# would pass unnoticed.
foreach(type CDSDATA TTYInfo)
  if(NOT description MATCHES "<class-decl name='${type}' size-in-bits=")
    message(FATAL_ERROR "${LIB} has no debug information describing ${type}: "
      "the ABI can only be compared in a build with debug information "
      "(RelWithDebInfo, the default, or Debug)")
  endif()
endforeach()

file(GLOB recorded RELATIVE ${BASELINE_DIR} ${BASELINE_DIR}/*.abi)
set(baseline_file ${BASELINE_DIR}/${soname}.abi)

if(ACTION STREQUAL "baseline")
  if(NOT COMPILER_ID STREQUAL "GNU" OR NOT BUILD_TYPE STREQUAL "RelWithDebInfo")
    message(FATAL_ERROR "the baseline is recorded from a GCC RelWithDebInfo build "
      "(this one: ${COMPILER_ID} ${BUILD_TYPE}); scripts/abi-baseline makes one")
  endif()
  file(COPY_FILE ${fresh} ${baseline_file})
  message(STATUS "ABI of ${soname} recorded in ${baseline_file}")
  foreach(old ${recorded})
    if(NOT old STREQUAL "${soname}.abi")
      file(REMOVE ${BASELINE_DIR}/${old})
      message(STATUS "removed ${old}: it describes an older soname")
    endif()
  endforeach()
  return()
elseif(NOT ACTION STREQUAL "check")
  message(FATAL_ERROR "ACTION is check or baseline, not ${ACTION}")
endif()

if(NOT EXISTS ${baseline_file})
  set(why "no ABI baseline for ${soname} in ${BASELINE_DIR}")
  if(recorded)
    string(REPLACE ";" ", " recorded "${recorded}")
    string(APPEND why " (it holds ${recorded}): the soname moved, so the library "
      "has a new ABI; the baseline must be regenerated for ${soname}")
  endif()
  message(FATAL_ERROR "${why}. Run scripts/abi-baseline and commit ${soname}.abi.")
endif()

# abidiff's exit code is a bit mask: 1 error, 2 usage, 4 the ABI changed,
# 8 the change is incompatible (a removed symbol). A changed layout sets only
# 4, so every change fails here; --no-added-syms leaves additions out.
set(abidiff_options --exported-interfaces-only)
execute_process(COMMAND ${ABIDIFF} ${abidiff_options} --no-added-syms ${baseline_file} ${LIB}
  OUTPUT_VARIABLE report ERROR_VARIABLE errors RESULT_VARIABLE rc)
if(NOT rc MATCHES "^[0-9]+$")
  message(FATAL_ERROR "abidiff did not run: ${rc}")
endif()
math(EXPR failed "${rc} & 3")
if(NOT failed EQUAL 0)
  message(FATAL_ERROR "abidiff could not compare ${baseline_file} with ${LIB} (exit ${rc}):\n${errors}${report}")
elseif(NOT rc EQUAL 0)
  message("abidiff ${baseline_file} ${LIB}:\n${report}")
  message(FATAL_ERROR "the ABI of ${soname} differs from its baseline: programs "
    "built against ${soname} may break. Undo the change, or give the library a "
    "new ABI: raise the major version in project() of the top CMakeLists.txt "
    "(the soname follows it) and run scripts/abi-baseline.")
endif()

execute_process(COMMAND ${ABIDIFF} ${abidiff_options} ${baseline_file} ${LIB}
  OUTPUT_VARIABLE report RESULT_VARIABLE rc)
if(rc EQUAL 4)
  message("${report}")
  message(STATUS "${soname} exports more than its baseline records; additions are "
    "compatible, so this passes. Refresh the baseline with scripts/abi-baseline so "
    "that they are kept as well.")
elseif(NOT rc EQUAL 0)
  message("${report}")
  message(FATAL_ERROR "abidiff reports more than additions (exit ${rc})")
else()
  message(STATUS "the ABI of ${soname} matches ${baseline_file}")
endif()
