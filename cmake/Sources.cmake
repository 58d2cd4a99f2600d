# tavo_sources(OUT GLOB_EXPRESSION...)
# The .cpp files matching the expressions that belong to this target system:
# portable files carry no prefix, win_*.cpp are Windows only and posix_*.cpp
# Linux only.
function(tavo_sources out)
  file(GLOB_RECURSE all CONFIGURE_DEPENDS ${ARGN})
  set(selected)
  foreach(source ${all})
    get_filename_component(name ${source} NAME)
    if(name MATCHES "^win_" AND NOT WIN32)
      continue()
    elseif(name MATCHES "^posix_" AND WIN32)
      continue()
    endif()
    list(APPEND selected ${source})
  endforeach()
  set(${out} ${selected} PARENT_SCOPE)
endfunction()
