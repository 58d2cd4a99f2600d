# tavo_sources(OUT GLOB_EXPRESSION...)
# The .cpp files matching the expressions that belong to this target system:
# portable files carry no prefix, win_*.cpp are Windows only, posix_*.cpp
# Linux only and i386_*.cpp 32-bit x86 only.
#
# TAVO_X86_32: the target is 32-bit x86, where cdecl and stdcall differ.
if(CMAKE_SIZEOF_VOID_P EQUAL 4 AND CMAKE_SYSTEM_PROCESSOR MATCHES "^(i.86|x86)")
  set(TAVO_X86_32 ON)
else()
  set(TAVO_X86_32 OFF)
endif()

function(tavo_sources out)
  file(GLOB_RECURSE all CONFIGURE_DEPENDS ${ARGN})
  set(selected)
  foreach(source ${all})
    get_filename_component(name ${source} NAME)
    if(name MATCHES "^win_" AND NOT WIN32)
      continue()
    elseif(name MATCHES "^posix_" AND WIN32)
      continue()
    elseif(name MATCHES "^i386_" AND NOT TAVO_X86_32)
      continue()
    endif()
    list(APPEND selected ${source})
  endforeach()
  set(${out} ${selected} PARENT_SCOPE)
endfunction()
