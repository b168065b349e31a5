# Fails when the shared library exports a symbol outside its interface:
# every defined dynamic symbol must be a CDSDATA member, one of the link
# functions, one of the exported globals, or a compiler-generated support symbol.
execute_process(COMMAND nm -D --defined-only -C ${LIB} OUTPUT_VARIABLE syms RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIB}")
endif()
string(REPLACE "\n" ";" lines "${syms}")
set(allowed
  "^CDSDATA::" "^typeinfo (name )?for CDSDATA$" "^vtable for CDSDATA$"
  "^CreateTTYInfo" "^OpenConnection" "^SetupConnection" "^CloseConnection"
  "^DestroyTTYInfo" "^ReadCommBlock" "^WriteCommBlock" "^CommWatchProc"
  "^TalsenLoadRCStr" "^TalsenRegisterRCStr" "^PortDevicePath" "^SetPortDevicePath" "^ProbeUnit" "^KvcomVersion\\(\\)$" "^SetMemStoreAllProgress" "^SetTrafficTap\\(" "^SetMemRefreshProgress"
  "^LinkLastError\\(\\)$" "^LinkConnected\\(\\)$" "^LinkErrorMessage\\(int\\)$" "^LastReplyDamaged\\(\\)$"
  "^rs232_port$" "^rs232_rate$" "^npTTYInfo$" "^strRev$" "^strMem$" "^revnum$"
  "^irevneweqdata$" "^bisflter1$" "^prog_save$" "^prog_len$" "^data_name$" "^data_memoryb$"
  "^_init$" "^_fini$" "^_edata$" "^_end$" "^__bss_start$")
set(bad "")
set(required CDSDATA::SendParam KvcomVersion TalsenLoadRCStr OpenConnection SetPortDevicePath ProbeUnit LinkLastError LinkErrorMessage SetTrafficTap prog_save rs232_port)
foreach(line ${lines})
  string(REGEX REPLACE "^[0-9a-f]+ [A-Za-z] " "" name "${line}")
  if(name STREQUAL "")
    continue()
  endif()
  # sanitizer builds add their own runtime hooks
  if(name MATCHES "^__(asan|ubsan|tsan|sanitizer|odr_asan)" OR name MATCHES "^___?(asan|tsan)")
    continue()
  endif()
  set(ok FALSE)
  foreach(pat ${allowed})
    if(name MATCHES "${pat}")
      set(ok TRUE)
    endif()
  endforeach()
  if(NOT ok)
    list(APPEND bad "${name}")
  endif()
endforeach()
if(bad)
  message(FATAL_ERROR "unexpected exported symbols: ${bad}")
endif()
foreach(req ${required})
  string(FIND "${syms}" "${req}" pos)
  if(pos EQUAL -1)
    message(FATAL_ERROR "missing export: ${req}")
  endif()
endforeach()
message(STATUS "exports ok")
